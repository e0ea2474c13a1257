#pragma once
// What the Http tests share: reply builders and a client pointed at a
// scripted server on loopback.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "http/http.h"
#include "tests/http/scripted_server.h"

namespace testing_support {

using Step = ScriptedServer::Step;
using After = ScriptedServer::After;

// "HTTP/1.1 <status>\r\n<headers>Content-Length: n\r\n\r\n<body>"; headers
// are whole lines ending in CR LF.
std::string Sized(const std::string& status, const std::string& body,
                  const std::string& headers = "");
// A chunked reply carrying body in chunks of at most piece bytes.
std::string Chunked(const std::string& body, size_t piece, const std::string& headers = "");
// bytes cut into pieces at the given offsets.
std::vector<std::string> Cut(const std::string& bytes, const std::vector<size_t>& offsets);

// A sink that keeps what reaches it; it wants no more once it holds `enough`
// bytes.
struct Collector : vxw::BodySink {
    explicit Collector(size_t enough = SIZE_MAX) : enough(enough) {}
    bool Put(const char* data, size_t size) override {
        body.append(data, size);
        largest = size > largest ? size : largest;
        return body.size() < enough;
    }
    size_t enough;
    std::string body;
    size_t largest = 0;  // the largest piece
};

struct HttpTest {
    static constexpr int32_t kTimeout = 5000;

    // Points http at server (direct, plain).
    static void Aim(vxw::Http& http, const ScriptedServer& server, bool tls = false) {
        http.SetServer(server.Port(), tls, "127.0.0.1", "", 0, "", "", kTimeout);
    }
    // A GET without body or credentials, 20 redirects, into memory.
    static void Get(vxw::Http& http, const std::string& path, const std::string& outputFile = "") {
        http.SendRequest(path, "GET", nullptr, 0, nullptr, nullptr, 20, true, true, outputFile);
    }
    // The request head a fresh client writes for a GET of path to host.
    static std::string PlainGet(const std::string& path, const std::string& host,
                                const std::string& extra = "") {
        return "GET " + path + " HTTP/1.1\r\n" + extra + "Connection: Keep-Alive\r\nHost: " + host +
               "\r\nUser-Agent: VX\r\n\r\n";
    }
    static std::string Local(const ScriptedServer& server) {
        return "127.0.0.1:" + std::to_string(server.Port());
    }
};

}  // namespace testing_support
