// The service over https: quellot-proxy serves TLS with a certificate of a test authority, and
// the clients verify it, always.

#include <gtest/gtest.h>

#include "Http.h"
#include "ServiceReplies.h"
#include "Taobao_Itemcats.h"
#include "Taobaoke_Items.h"
#include "TestCertificates.h"
#include "TestProxy.h"
#include "ok.h"

namespace {

const char* const kPid = "mm_27418305_0_0";

// The authorities the clients trust, for one test.
class ScopedCaFile {
public:
    explicit ScopedCaFile(std::string file) : FSaved(HttpCaFile) { HttpCaFile = std::move(file); }
    ~ScopedCaFile() { HttpCaFile = FSaved; }

private:
    std::string FSaved;
};

class Tls : public testing::Test {
protected:
    static void SetUpTestSuite() {
        gCerts = new TestCertificates;
        ASSERT_TRUE(gCerts->MakeAuthority("ca"));
        ASSERT_TRUE(gCerts->Issue("server", "DNS:localhost,IP:127.0.0.1"));
        ASSERT_TRUE(gCerts->Issue("elsewhere", "DNS:elsewhere.example"));
        ASSERT_TRUE(gCerts->MakeAuthority("other"));
        gProxy = StartTestProxy({.items = 500,
                                 .tlsCert = gCerts->Path("server.pem"),
                                 .tlsKey = gCerts->Path("server.key")})
                     .release();
        gMisnamed = StartTestProxy({.items = 10,
                                    .tlsCert = gCerts->Path("elsewhere.pem"),
                                    .tlsKey = gCerts->Path("elsewhere.key")})
                        .release();
    }
    static void TearDownTestSuite() {
        delete gProxy;
        delete gMisnamed;
        delete gCerts;
    }
    static TestCertificates* gCerts;
    static ProxyServer* gProxy;
    static ProxyServer* gMisnamed;
};
TestCertificates* Tls::gCerts = nullptr;
ProxyServer* Tls::gProxy = nullptr;
ProxyServer* Tls::gMisnamed = nullptr;

}  // namespace

TEST_F(Tls, SearchesCategoriesAndSoftwareInformationOverHttps) {
    ScopedCaFile trust(gCerts->Path("ca.pem"));
    const std::string base = gProxy->BaseUrl();
    ASSERT_EQ(base.rfind("https://127.0.0.1:", 0), 0u) << base;
    const std::string byName = "https://localhost:" + std::to_string(gProxy->Port()) + "/";
    for (const std::string& url : {base, byName}) {
        SCOPED_TRACE(url);
        TTaobaoke_Items items;
        ATbk_Items_Info* table = nullptr;
        ASSERT_TRUE(items.GetItems(StartUpConditions(url, kPid), {}, table))
            << FailureName(items.LastFailure());
        EXPECT_FALSE((*table)[0].title.empty());
        EXPECT_EQ((*table)[0].click_url.rfind(url, 0), 0u);  // links stay on https
        TTaobao_Itemcats cats;
        Tb_Itemcats_Cond c;
        c.pid = kPid;
        c.url = url + "taobao/tb_itemcats.php";
        c.parent_cid = "0";
        ATb_Itemcats_Info* categories = nullptr;
        ASSERT_TRUE(cats.GetItemcats(c, {}, categories)) << FailureName(cats.LastFailure());
        EXPECT_FALSE((*categories)[0].name.empty());
        TOK ok;
        SOFT_INFO info;
        ASSERT_TRUE(ok.GetSoftInfo(url + "taobao/IV/ok.php", kPid, info));
        EXPECT_EQ(info.version, "v2.0");
    }
}

TEST_F(Tls, AnUntrustedOrMisnamedCertificateIsATlsFailure) {
    const std::string misnamed = gMisnamed->BaseUrl();
    const struct {
        std::string ca, url;
    } cases[] = {
        {gCerts->Path("other.pem"), gProxy->BaseUrl()},  // signed by an authority not trusted
        {"", gProxy->BaseUrl()},                         // the system's store knows no test CA
        {gCerts->Path("ca.pem"), misnamed},              // trusted, but for another name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ca + " " + c.url);
        ScopedCaFile trust(c.ca);
        HttpClient http;
        std::string body;
        EXPECT_FALSE(http.Get(c.url + "healthz", body));
        EXPECT_EQ(http.LastFailure(), Failure::Tls) << FailureName(http.LastFailure());
        TTaobaoke_Items items;
        ATbk_Items_Info* table = nullptr;
        EXPECT_FALSE(items.GetItems(StartUpConditions(c.url, kPid), {}, table));
        EXPECT_EQ(items.LastFailure(), Failure::Tls) << FailureName(items.LastFailure());
    }
}

TEST_F(Tls, AProxyWithoutAUsableCertificateDoesNotStart) {
    const struct {
        std::string cert, key;
    } cases[] = {
        {gCerts->Path("server.pem"), ""},
        {gCerts->Path("server.pem"), gCerts->Path("elsewhere.key")},  // not its key
        {gCerts->Path("missing.pem"), gCerts->Path("server.key")},
    };
    for (const auto& c : cases) {
        ProxyOptions o;
        o.port = 0;
        o.items = 10;
        o.accessLog = false;
        o.tlsCert = c.cert;
        o.tlsKey = c.key;
        ProxyServer proxy(o);
        std::string error;
        EXPECT_FALSE(proxy.Bind(error)) << c.cert << " " << c.key;
        EXPECT_NE(error.find("TLS"), std::string::npos) << error;
    }
}
