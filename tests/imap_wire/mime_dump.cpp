// Prints what the message model makes of a message file as one FETCH
// response, the way an IMAP server would send it, so that a test can set it
// beside a real server's answer: ENVELOPE, BODYSTRUCTURE, BODY and then
// BODY[section] for each section named on the command line.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "imap_wire/mime_bodystructure.h"
#include "imap_wire/mime_envelope.h"
#include "imap_wire/mime_section.h"
#include "mime/mime_parser.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mime_dump MESSAGE [SECTION...]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::string message((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Fed in small pieces, as a download arrives.
    MimeParser parser;
    for (size_t at = 0; at < message.size(); at += 7)
        parser.Feed(message.data() + at, std::min<size_t>(7, message.size() - at));
    MimePart root = parser.Finish();
    std::string out = "* 1 FETCH (ENVELOPE " + WriteEnvelope(root.header) + " BODYSTRUCTURE " +
                      WriteBodyStructure(root, true) + " BODY " + WriteBodyStructure(root, false);
    for (int i = 2; i < argc; ++i) {
        MimeSection section;
        if (!ParseMimeSection(argv[i], section)) {
            std::fprintf(stderr, "mime_dump: bad section %s\n", argv[i]);
            return 2;
        }
        MimeSectionData data = ResolveMimeSection(root, section);
        std::string bytes = data.kind == MimeSectionData::Kind::Bytes
                                ? data.bytes
                                : message.substr(data.offset, data.size);
        out += " BODY[" + MimeSectionName(section) + "] {" + std::to_string(bytes.size()) +
               "}\r\n" + bytes;
    }
    out += ")\r\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
