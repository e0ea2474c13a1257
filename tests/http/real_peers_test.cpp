// Http against real peers on loopback: Apache httpd checking Basic and
// Digest answers (plain and over TLS with a self-signed certificate) and
// tinyproxy asking for Basic proxy credentials, for the plain proxy path and
// for CONNECT tunnels. A peer that cannot be started fails the suite.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "core/file_util.h"
#include "http/http.h"
#include "http/md5.h"
#include "tests/http/error_text.h"
#include "tests/http/peer_process.h"
#include "tests/http/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testing_support;
using vxw::Http;

constexpr int32_t kTimeout = 10000;

std::string ApacheConfig(const std::string& root, int plainPort, int tlsPort) {
    std::string modules;
    for (const char* module : {"mpm_event", "authn_core", "authn_file", "authz_core", "authz_user",
                               "auth_basic", "auth_digest", "alias", "ssl"})
        modules += "LoadModule " + std::string(module) + "_module /usr/lib/apache2/modules/mod_" +
                   module + ".so\n";
    std::string tls = std::to_string(tlsPort);
    return modules + (geteuid() == 0 ? "User www-data\nGroup www-data\n" : "") + "ServerRoot " +
           root + "\nServerName localhost\nPidFile " + root + "/httpd.pid\nDefaultRuntimeDir " +
           root + "\nErrorLog " + root +
           "/error.log\nLogLevel warn\n"
           "Listen 127.0.0.1:" +
           std::to_string(plainPort) + "\nListen 127.0.0.1:" + tls +
           "\n"
           "DocumentRoot " +
           root + "/docs\n<Directory " + root +
           "/docs>\n  Require all granted\n</Directory>\n"
           "<Directory " +
           root +
           "/docs/basic>\n  AuthType Basic\n  AuthName \"mail\"\n"
           "  AuthUserFile " +
           root +
           "/basic.pw\n  Require valid-user\n</Directory>\n"
           "<Directory " +
           root +
           "/docs/digest>\n  AuthType Digest\n  AuthName \"mail\"\n"
           "  AuthDigestProvider file\n  AuthUserFile " +
           root +
           "/digest.pw\n  Require valid-user\n</Directory>\n"
           "Redirect 302 /moved https://127.0.0.1:" +
           tls +
           "/digest/page.txt\n"
           "<VirtualHost 127.0.0.1:" +
           tls + ">\n  SSLEngine on\n  SSLCertificateFile " + ScriptedServer::CertificateFile() +
           "\n  SSLCertificateKeyFile " + ScriptedServer::KeyFile() + "\n</VirtualHost>\n";
}

// The proxies open tunnels to tunnelPort alone.
std::string TinyproxyConfig(int port, bool withAuth, int tunnelPort) {
    return "Port " + std::to_string(port) +
           "\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\n"
           "LogLevel Info\nConnectPort " +
           std::to_string(tunnelPort) + "\n" + (withAuth ? "BasicAuth pu pp\n" : "") +
           (geteuid() == 0 ? "User nobody\nGroup nogroup\n" : "");
}

class RealPeers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        const std::string root = dir->Path();
        // The server's own users (www-data, nobody) must read what lies here.
        chmod(root.c_str(), 0755);
        for (const char* folder : {"/docs", "/docs/basic", "/docs/digest"}) {
            mkdir((root + folder).c_str(), 0755);
            SaveToFile(root + folder + "/page.txt", std::string("page of ") + folder);
        }
        SaveToFile(root + "/digest.pw", "bob:mail:" + vxw::Md5Hex("bob:mail:builder") + "\n");
        std::string htpasswd = "htpasswd -bc " + root + "/basic.pw alice wonder >/dev/null 2>&1";
        if (std::system(htpasswd.c_str()) != 0) throw std::runtime_error("htpasswd failed");
        chmod((root + "/digest.pw").c_str(), 0644);
        chmod((root + "/basic.pw").c_str(), 0644);

        plainPort = FreeLoopbackPort(), tlsPort = FreeLoopbackPort();
        proxyPort = FreeLoopbackPort(), openProxyPort = FreeLoopbackPort();
        SaveToFile(root + "/httpd.conf", ApacheConfig(root, plainPort, tlsPort));
        SaveToFile(root + "/proxy.conf", TinyproxyConfig(proxyPort, true, tlsPort));
        SaveToFile(root + "/open-proxy.conf", TinyproxyConfig(openProxyPort, false, tlsPort));
        apache = new PeerProcess({"/usr/sbin/apache2", "-f", root + "/httpd.conf", "-DFOREGROUND"},
                                 plainPort, root + "/apache.out");
        proxy = new PeerProcess({"tinyproxy", "-d", "-c", root + "/proxy.conf"}, proxyPort,
                                root + "/proxy.out");
        openProxy = new PeerProcess({"tinyproxy", "-d", "-c", root + "/open-proxy.conf"},
                                    openProxyPort, root + "/open-proxy.out");
    }
    static void TearDownTestSuite() {
        delete openProxy;
        delete proxy;
        delete apache;
        delete dir;
    }

    static void Get(Http& http, const std::string& path, const char* user, const char* password) {
        http.SendRequest(path, "GET", nullptr, 0, user, password, 20, true, true, "");
    }

    static TempDir* dir;
    static PeerProcess *apache, *proxy, *openProxy;
    static int plainPort, tlsPort, proxyPort, openProxyPort;
};

TempDir* RealPeers::dir;
PeerProcess *RealPeers::apache, *RealPeers::proxy, *RealPeers::openProxy;
int RealPeers::plainPort, RealPeers::tlsPort, RealPeers::proxyPort, RealPeers::openProxyPort;

TEST_F(RealPeers, ApacheAcceptsOurBasicAndDigestAnswersAndRefusesWrongOnes) {
    struct Case {
        const char* path;
        const char* user;
        const char* password;
        const char* page;
    } cases[] = {{"/basic/page.txt", "alice", "wonder", "page of /docs/basic"},
                 {"/digest/page.txt", "bob", "builder", "page of /docs/digest"}};
    for (bool tls : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.path) + (tls ? " over TLS" : ""));
            Http http;
            http.SetServer(tls ? tlsPort : plainPort, tls, "127.0.0.1", "", 0, "", "", kTimeout);
            Get(http, c.path, c.user, c.password);
            EXPECT_EQ(http.GetStatusCode(), 200);
            EXPECT_EQ(http.GetPage(), c.page);
            // The cached answer opens the next page without a new challenge.
            Get(http, c.path, c.user, c.password);
            EXPECT_EQ(http.GetStatusCode(), 200);

            Http wrong;
            wrong.SetServer(tls ? tlsPort : plainPort, tls, "127.0.0.1", "", 0, "", "", kTimeout);
            EXPECT_EQ(
                ErrorText([&] { Get(wrong, c.path, c.user, "wrong"); }),
                "Http::SendRequest::Unauthorized - Unauthorized to access resource - 127.0.0.1" +
                    std::string(c.path) + " (401)");
        }
    }
}

TEST_F(RealPeers, ApacheRedirectAcrossSchemeAndPortKeepsTheAnswer) {
    Http http;
    http.SetServer(plainPort, false, "127.0.0.1", "", 0, "", "", kTimeout);
    Get(http, "/digest/page.txt", "bob", "builder");
    Get(http, "/moved", "bob", "builder");
    EXPECT_EQ(http.GetStatusCode(), 200);
    EXPECT_EQ(http.GetPage(), "page of /docs/digest");
}

TEST_F(RealPeers, TinyproxyCarriesPlainRequestsAndTunnelsWithProxyCredentials) {
    for (bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "CONNECT tunnel" : "plain proxy");
        Http http;
        http.SetServer(tls ? tlsPort : plainPort, tls, "127.0.0.1", "127.0.0.1", proxyPort, "pu",
                       "pp", kTimeout);
        Get(http, "/digest/page.txt", "bob", "builder");
        EXPECT_EQ(http.GetStatusCode(), 200);
        EXPECT_EQ(http.GetPage(), "page of /docs/digest");
        Get(http, "/basic/page.txt", "alice", "wonder");
        EXPECT_EQ(http.GetPage(), "page of /docs/basic");
    }
    Http open;
    open.SetServer(tlsPort, true, "127.0.0.1", "127.0.0.1", openProxyPort, "", "", kTimeout);
    Get(open, "/page.txt", nullptr, nullptr);
    EXPECT_EQ(open.GetPage(), "page of /docs");
}

TEST_F(RealPeers, TinyproxyRefusesWrongCredentialsAndForbiddenTunnels) {
    Http plain;
    plain.SetServer(plainPort, false, "127.0.0.1", "127.0.0.1", proxyPort, "", "", kTimeout);
    EXPECT_EQ(ErrorText([&] { Get(plain, "/page.txt", nullptr, nullptr); }),
              "Http::SendRequest::ProxyUnauthorized - Unauthorized to access proxy server - "
              "127.0.0.1/page.txt (407)");
    // tinyproxy answers a wrong Proxy-Authorization with 401, not 407.
    Http tunnel;
    EXPECT_EQ(
        ErrorText([&] {
            tunnel.SetServer(tlsPort, true, "127.0.0.1", "127.0.0.1", proxyPort, "pu", "bad",
                             kTimeout);
        }),
        "Http::SendRequest::Unauthorized - Unauthorized to access resource - 127.0.0.1127.0.0.1:" +
            std::to_string(tlsPort) + " (401)");

    // A tunnel to a port the proxy does not allow is refused with 403; the
    // object then reaches an allowed one.
    Http refused;
    EXPECT_EQ(ErrorText([&] {
                  refused.SetServer(plainPort, true, "127.0.0.1", "127.0.0.1", openProxyPort, "",
                                    "", kTimeout);
              }),
              "Http::Connect::ConnectSSl - There was an error opening the SSL tunnel to 127.0.0.1 "
              "through 127.0.0.1 (403)");
    refused.SetServer(tlsPort, true, "127.0.0.1", "127.0.0.1", openProxyPort, "", "", kTimeout);
    Get(refused, "/page.txt", nullptr, nullptr);
    EXPECT_EQ(refused.GetPage(), "page of /docs");
}

}  // namespace
