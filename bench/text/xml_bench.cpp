// The reader on a listing of 10,000 messages (about 3 MB), beside libexpat
// doing the same work: collect every D:href and D:getcontentlength value.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstring>
#include <string>
#include <vector>

#include "text/xml.h"

namespace {

constexpr int kMessages = 10000;

std::string MakeListing(int messages) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<D:multistatus xmlns:D=\"DAV:\" xmlns:hm=\"urn:schemas:httpmail:\" "
        "xmlns:m=\"urn:schemas:mailheader:\">\r\n";
    for (int i = 0; i < messages; ++i) {
        const std::string id = std::to_string(1000000 + i);
        text +=
            "<D:response>\r\n"
            "<D:href>http://mail.example.com/cgi-bin/hmdata/someone@example.com/folders/ACTIVE/"
            "MSG" +
            id + "." + std::to_string(i % 97) + "?mode=raw&amp;part=" + id +
            "</D:href>\r\n"
            "<D:propstat>\r\n"
            "<D:prop>\r\n"
            "<D:isfolder>0</D:isfolder>\r\n"
            "<D:getcontentlength>" +
            std::to_string(1000 + i * 37 % 90000) +
            "</D:getcontentlength>\r\n"
            "</D:prop>\r\n"
            "<D:status>HTTP/1.1 200 OK</D:status>\r\n"
            "</D:propstat>\r\n"
            "</D:response>\r\n";
    }
    return text + "</D:multistatus>\r\n";
}

const std::string& Listing() {
    static const std::string listing = MakeListing(kMessages);
    return listing;
}

struct Collected {
    std::vector<std::string> hrefs;
    std::vector<std::string> sizes;
};

// As the web mail client reads a listing: each response, then its first
// D:href and D:getcontentlength. The document is copied in, as the reader does.
void BM_MirelinkXml(benchmark::State& state) {
    const std::string& listing = Listing();
    for (auto _ : state) {
        Collected out;
        vx::Xml root(listing);
        std::vector<vx::Xml> responses;
        root.FindAll("D:response", responses);
        for (const vx::Xml& response : responses) {
            out.hrefs.push_back(response.FindFirst("D:href").GetValue());
            out.sizes.push_back(response.FindFirst("D:getcontentlength").GetValue());
        }
        if (out.hrefs.size() != kMessages) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * listing.size()));
    state.SetLabel(std::to_string(listing.size()) + " bytes");
}
BENCHMARK(BM_MirelinkXml)->Unit(benchmark::kMillisecond);

struct ExpatState {
    Collected out;
    std::string* capture = nullptr;  // the value being collected, if any
    std::string text;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char**) {
    auto* state = static_cast<ExpatState*>(data);
    if (std::strcmp(name, "D:href") == 0 || std::strcmp(name, "D:getcontentlength") == 0) {
        state->text.clear();
        state->capture = &state->text;
    }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
    auto* state = static_cast<ExpatState*>(data);
    if (state->capture == nullptr) return;
    if (std::strcmp(name, "D:href") == 0) state->out.hrefs.push_back(state->text);
    if (std::strcmp(name, "D:getcontentlength") == 0) state->out.sizes.push_back(state->text);
    state->capture = nullptr;
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto* state = static_cast<ExpatState*>(data);
    if (state->capture != nullptr) state->capture->append(text, static_cast<size_t>(length));
}

void BM_Expat(benchmark::State& state) {
    const std::string& listing = Listing();
    for (auto _ : state) {
        ExpatState collected;
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &collected);
        XML_SetElementHandler(parser, OnStart, OnEnd);
        XML_SetCharacterDataHandler(parser, OnText);
        if (XML_Parse(parser, listing.data(), static_cast<int>(listing.size()), 1) != XML_STATUS_OK)
            state.SkipWithError("expat failed");
        XML_ParserFree(parser);
        if (collected.out.hrefs.size() != kMessages) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(collected.out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * listing.size()));
    state.SetLabel(std::to_string(listing.size()) + " bytes");
}
BENCHMARK(BM_Expat)->Unit(benchmark::kMillisecond);

}  // namespace
