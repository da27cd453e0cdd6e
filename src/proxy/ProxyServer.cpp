#include "ProxyServer.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "CategoryNames.h"
#include "Decimal.h"
#include "ItemPictures.h"
#include "MD5.h"
#include "Query.h"
#include "Taobao_Itemcats.h"
#include "Taobaoke_Items.h"
#include "Text.h"
#include "UpdatePackage.h"

namespace {

// The fields a request may ask for: the reply elements the clients know.
const auto& kItemFieldNames = kDefaultItemNames;
const auto& kItemcatFieldNames = kDefaultItemcatNames;

const char* const kXmlHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

void AppendNumber(std::string& out, int64_t n) {
    char buf[24];
    out.append(buf, static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, n).ptr - buf));
}

// Whole yuan, a dot and two digits, without the cost of a formatted print.
void AppendMoney(std::string& out, int64_t cents) {
    AppendNumber(out, cents / 100);
    out += '.';
    out += static_cast<char>('0' + cents % 100 / 10);
    out += static_cast<char>('0' + cents % 10);
}

std::string Money(int64_t cents) {
    std::string out;
    AppendMoney(out, cents);
    return out;
}

// The field list: every name must be one this service knows, none twice.
template <size_t N>
bool ParseFields(const std::string& text, const char* const (&known)[N],
                 std::vector<std::string>& out) {
    out.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, end - start);
        start = end + 1;
        bool ok = false;
        for (const char* k : known) ok |= name == k;
        if (!ok || std::find(out.begin(), out.end(), name) != out.end()) return false;
        out.push_back(name);
    }
    return !out.empty();
}

bool ValidPid(const std::string& pid) {
    // "mm_" digits "_0_0"
    if (pid.size() < 8 || pid.compare(0, 3, "mm_") != 0 ||
        pid.compare(pid.size() - 4, 4, "_0_0") != 0)
        return false;
    return ParseDecimal(std::string_view(pid).substr(3, pid.size() - 7)).has_value();
}

// Checks the common part of a signed request; on failure sets the reason.
bool CheckSignature(const RawQuery& q, const std::string& values, std::string& why) {
    const std::string& pid = q.Get("pid");
    const std::string& stamp = q.Get("stamp");
    if (!ValidPid(pid)) return why = "missing or invalid pid", false;
    if (!ParseInteger(stamp, INT32_MIN, INT32_MAX)) return why = "missing or invalid stamp", false;
    if (q.Get("sign") != SignatureOf(pid, stamp, values)) return why = "invalid signature", false;
    return true;
}

int CreditScoreOf(const std::string& level) {
    const auto& levels = CreditLevels();
    for (int i = 0; i < 20; ++i)
        if (levels[i] == level) return i + 1;
    return 0;
}

std::vector<std::string> SplitWords(const std::string& keyword) {
    // Words are separated by ASCII spaces or the ideographic space.
    std::string s = keyword;
    // One space as a character: gcc 12 takes a one-character literal here for an overlapping
    // copy (-Wrestrict at -O2, a false positive).
    for (size_t at; (at = s.find("\xE3\x80\x80")) != std::string::npos;) s.replace(at, 3, 1, ' ');
    std::vector<std::string> words;
    std::istringstream in(s);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

void Reply(httplib::Response& res, const std::string& body, const char* type) {
    res.set_content(body, type);
}

void Refuse(httplib::Response& res, int code, const std::string& why);

// The part every signed request shares: the raw query, its field list and its signature over
// the values that signedValues concatenates. False once the error document is written.
template <size_t N>
bool ReadSignedRequest(const httplib::Request& req, httplib::Response& res,
                       const char* const (&known)[N],
                       const std::function<std::string(const RawQuery&)>& signedValues, RawQuery& q,
                       std::vector<std::string>& fields) {
    size_t mark = req.target.find('?');
    if (mark == std::string::npos || !q.Parse(std::string_view(req.target).substr(mark + 1)))
        return Refuse(res, 40, "malformed query"), false;
    if (!ParseFields(q.Get("fields"), known, fields))
        return Refuse(res, 41, "missing or invalid fields"), false;
    std::string why;
    if (!CheckSignature(q, signedValues(q), why)) return Refuse(res, 25, why), false;
    return true;
}

void AppendXmlText(std::string& out, std::string_view text) {
    // Most texts hold nothing to replace: one pass to find out, one copy.
    static const auto kSpecial = [] {
        std::array<bool, 256> special{};
        for (int c = 0; c < 0x20; ++c)
            special[static_cast<size_t>(c)] = c != '\t' && c != '\n' && c != '\r';
        for (unsigned char c : std::string_view("&<>\"")) special[c] = true;
        return special;
    }();
    if (std::none_of(text.begin(), text.end(),
                     [](char c) { return kSpecial[static_cast<unsigned char>(c)]; })) {
        out.append(text);
        return;
    }
    size_t plain = 0;  // start of the run not yet copied
    for (size_t i = 0; i < text.size(); ++i) {
        const char* replacement = nullptr;
        switch (text[i]) {
            case '&':
                replacement = "&amp;";
                break;
            case '<':
                replacement = "&lt;";
                break;
            case '>':
                replacement = "&gt;";
                break;
            case '"':
                replacement = "&quot;";
                break;
            default:
                // Control characters other than tab and line ends are not allowed in XML.
                if (static_cast<unsigned char>(text[i]) < 0x20 && text[i] != '\t' &&
                    text[i] != '\n' && text[i] != '\r')
                    replacement = "";
        }
        if (!replacement) continue;
        out.append(text.substr(plain, i - plain));
        out += replacement;
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

}  // namespace

std::string XmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    AppendXmlText(out, text);
    return out;
}

namespace {
void Refuse(httplib::Response& res, int code, const std::string& why) {
    Reply(res, ErrorDocument(code, why), "text/xml; charset=utf-8");
}
}  // namespace

std::string ErrorDocument(int code, const std::string& message) {
    return std::string(kXmlHead) + "<error_response><code>" + std::to_string(code) +
           "</code><msg>" + XmlEscape(message) + "</msg></error_response>\n";
}

namespace {

// Plain http, or https only when both files are given and make a pair; on an error a plain
// server that is never bound, so the routes can still be set.
std::unique_ptr<httplib::Server> MakeServer(const ProxyOptions& o, std::string& error) {
    if (o.tlsCert.empty() && o.tlsKey.empty()) return std::make_unique<httplib::Server>();
    if (o.tlsCert.empty() || o.tlsKey.empty()) {
        error = "TLS needs both --tls-cert and --tls-key";
        return std::make_unique<httplib::Server>();
    }
    auto tls = std::make_unique<httplib::SSLServer>(o.tlsCert.c_str(), o.tlsKey.c_str());
    if (tls->is_valid()) return tls;
    error = "cannot serve TLS with " + o.tlsCert + " and " + o.tlsKey +
            " (unreadable, not PEM, or not a certificate and its key)";
    return std::make_unique<httplib::Server>();
}

}  // namespace

ProxyServer::ProxyServer(ProxyOptions options) : FOptions(std::move(options)) {
    FServer = MakeServer(FOptions, FLoadError);
    if (FLoadError.empty()) {
        // The generated catalogue takes the same way through a database as an imported one.
        bool generated = FOptions.catalogue.empty();
        FStore = CatalogueStore::Open(generated ? ":memory:" : FOptions.catalogue,
                                      CatalogueStore::Mode::ReadOnly, FLoadError);
        if (FStore && generated &&
            !FStore->Save(Catalogue(FOptions.items, FOptions.seed), FLoadError))
            FStore.reset();
        if (FStore && !FStore->Load(FCatalogue, FLoadError)) FStore.reset();
        if (FStore) FIndex = std::make_unique<ItemIndex>(FCatalogue, FStore.get());
    }
    if (FIndex && !FOptions.updatePackage.empty() && !LoadPackage(FLoadError)) FIndex.reset();
    Routes();
}

ProxyServer::~ProxyServer() { Stop(); }

bool ProxyServer::LoadPackage(std::string& error) {
    std::ifstream in(FOptions.updatePackage, std::ios::binary);
    FPackage = std::make_shared<std::string>(std::istreambuf_iterator<char>(in),
                                             std::istreambuf_iterator<char>());
    if (FOptions.updateKey.empty()) return true;
    UpdateOffer offer;
    if (!DescribePackage(*FPackage, offer, error)) return false;
    FUpdateSignature =
        SignUpdate(FOptions.updateName, FOptions.offerVersion, offer, FOptions.updateKey, error);
    return !FUpdateSignature.empty();
}

std::string ProxyServer::BaseUrl() const {
    return std::string(Scheme()) + "://" + FOptions.host + ":" + std::to_string(FPort) + "/";
}

int ProxyServer::Count(const std::string& endpoint) const {
    std::lock_guard lock(FMutex);
    auto it = FCounts.find(endpoint);
    return it == FCounts.end() ? 0 : it->second;
}

void ProxyServer::Counted(const std::string& endpoint) {
    std::lock_guard lock(FMutex);
    ++FCounts[endpoint];
}

std::string ProxyServer::PublicBase(const httplib::Request& req) const {
    // Links in replies point back at the address the client used, when that looks like a
    // host name; anything odd in the header falls back to the bound address.
    std::string host = req.get_header_value("Host");
    bool plain = !host.empty() && host.size() < 256;
    for (char c : host)
        plain &= (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    return plain ? std::string(Scheme()) + "://" + host + "/" : BaseUrl();
}

bool ProxyServer::Bind(std::string& error) {
    if (!FIndex) return error = FLoadError, false;
    // The library's default adds SO_REUSEPORT, which lets a second server share a port that is
    // already in use without a word; only SO_REUSEADDR here, so a taken port is an error.
    FServer->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    FServer->set_tcp_nodelay(true);
    FServer->set_keep_alive_max_count(1000);
    FServer->set_keep_alive_timeout(2);
    FServer->set_read_timeout(10);
    FServer->set_payload_max_length(64 * 1024);
    if (FOptions.port == 0)
        FPort = FServer->bind_to_any_port(FOptions.host);
    else
        FPort = FServer->bind_to_port(FOptions.host, FOptions.port) ? FOptions.port : -1;
    if (FPort <= 0) {
        error = "cannot listen on " + FOptions.host + ":" + std::to_string(FOptions.port) +
                " (address in use or not available)";
        return false;
    }
    return true;
}

bool ProxyServer::Start(std::string& error) {
    if (!Bind(error)) return false;
    FThread = std::thread([this] { FServer->listen_after_bind(); });
    while (!FServer->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void ProxyServer::Serve() { FServer->listen_after_bind(); }

void ProxyServer::Stop() {
    FServer->stop();
    if (FThread.joinable()) FThread.join();
}

namespace {

// Pictures never change under their address, so browsers may keep them: the tag names what
// was drawn (bump its prefix when the drawing changes) and is known without drawing it.
void ServePicture(const httplib::Request& req, httplib::Response& res, const std::string& tag,
                  const std::function<std::string()>& draw) {
    std::string etag = "\"" + tag + "\"";
    res.set_header("Cache-Control", "public, max-age=86400, immutable");
    res.set_header("ETag", etag);
    std::string asked = req.get_header_value("If-None-Match");
    for (size_t start = 0; start < asked.size();) {
        size_t end = std::min(asked.find(',', start), asked.size());
        std::string one = asked.substr(start, end - start);
        one.erase(0, one.find_first_not_of(' '));
        one.erase(one.find_last_not_of(' ') + 1);
        if (one.rfind("W/", 0) == 0) one.erase(0, 2);
        if (one == etag || one == "*") {
            res.status = 304;
            return;
        }
        start = end + 1;
    }
    res.set_content(draw(), "image/png");
}

}  // namespace

void ProxyServer::Routes() {
    if (FOptions.accessLog)
        FServer->set_logger([](const httplib::Request& req, const httplib::Response& res) {
            std::string line = req.remote_addr + " " + req.method + " " + req.target + " " +
                               std::to_string(res.status) + " " + std::to_string(res.body.size()) +
                               "\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        });
    FServer->set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            res.status = 500;
            res.set_content(ErrorDocument(500, "internal error"), "text/xml; charset=utf-8");
        });

    FServer->Get("/taobao/tbk_items.php", [this](const auto& req, auto& res) {
        Counted("items");
        HandleItems(req, res);
    });
    FServer->Get("/taobao/tb_itemcats.php", [this](const auto& req, auto& res) {
        Counted("itemcats");
        HandleItemcats(req, res);
    });
    FServer->Get("/taobao/IV/ok.php", [this](const auto& req, auto& res) {
        Counted("softinfo");
        HandleSoftInfo(req, res);
    });
    FServer->Get("/taobao/IV/count.html", [this](const auto&, auto& res) {
        Counted("count");
        Reply(res,
              "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>count</title></head>"
              "<body>" +
                  std::to_string(Count("count")) + "</body></html>",
              "text/html; charset=utf-8");
    });
    FServer->Get("/stats", [this](const auto&, auto& res) {
        std::lock_guard lock(FMutex);
        std::string json = "{";
        for (const auto& [name, n] : FCounts)
            json += (json.size() > 1 ? ",\"" : "\"") + name + "\":" + std::to_string(n);
        Reply(res, json + "}\n", "application/json");
    });
    FServer->Get(R"(/pic/(\d{1,12})\.jpg_(sum|160x160)\.jpg)",
                 [this](const httplib::Request& req, auto& res) {
                     Counted("pictures");
                     int64_t id = ParseDecimal(req.matches[1].str()).value_or(0);
                     int size = req.matches[2] == "sum" ? 80 : 160;
                     ServePicture(req, res, "p1-" + std::to_string(id) + "-" + std::to_string(size),
                                  [id, size] { return ItemPicturePng(id, size); });
                 });
    FServer->Get(R"(/newrank/([a-z_0-9]{1,20}\.gif))",
                 [this](const httplib::Request& req, auto& res) {
                     Counted("credit");
                     int level = CreditLevelOfFile(req.matches[1]);
                     if (!level) {
                         res.status = 404;
                         return;
                     }
                     ServePicture(req, res, "c1-" + std::to_string(level),
                                  [level] { return CreditPicturePng(level); });
                 });
    // The page the client's browser button opens: where the items come from.
    FServer->Get("/", [this](const auto&, auto& res) {
        Reply(res,
              "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quellot</title></head>"
              "<body><h1>Quellot</h1><p>" +
                  std::to_string(FCatalogue.Items().size()) + " 件商品</p></body></html>",
              "text/html; charset=utf-8");
    });
    FServer->Get("/healthz", [this](const auto&, auto& res) {
        Reply(res, "ok " + std::to_string(FCatalogue.Items().size()) + " items\n",
              "text/plain; charset=utf-8");
    });
    FServer->Get(R"(/item/(\d{1,12}))", [this](const httplib::Request& req, auto& res) {
        Counted("item");
        int64_t id = ParseDecimal(req.matches[1].str()).value_or(0);
        const Item* found = FCatalogue.FindItem(id);
        if (!found) {
            res.status = 404;
            return;
        }
        const Item& it = *found;
        Reply(res,
              "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + XmlEscape(it.title) +
                  "</title></head><body><h1>" + XmlEscape(it.title) + "</h1><p>￥" +
                  Money(it.priceCents) + "</p><p>" + XmlEscape(it.nick) + " · " +
                  XmlEscape(it.location) + "</p><img src=\"/pic/" + std::to_string(id) +
                  ".jpg_160x160.jpg\"></body></html>",
              "text/html; charset=utf-8");
    });
    FServer->Get(R"(/shop/(\d{1,9}))", [this](const httplib::Request& req, auto& res) {
        Counted("shop");
        int seller = static_cast<int>(ParseDecimal(req.matches[1].str()).value_or(0));
        std::string list;
        std::string nick;
        for (const Item& it : FCatalogue.Items())
            if (it.sellerId == seller) {
                nick = it.nick;
                list += "<li><a href=\"/item/" + std::to_string(it.num_iid) + "\">" +
                        XmlEscape(it.title) + "</a></li>";
            }
        if (nick.empty()) {
            res.status = 404;
            return;
        }
        Reply(res,
              "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + XmlEscape(nick) +
                  "</title></head><body><h1>" + XmlEscape(nick) + "</h1><ul>" + list +
                  "</ul></body></html>",
              "text/html; charset=utf-8");
    });
    if (FPackage)
        FServer->Get("/update/" + FOptions.updateName + ".zip", [this](const auto&, auto& res) {
            Counted("update");
            Reply(res, *FPackage, "application/zip");
        });
}

namespace {

// A refusal: the error code and message of the error document.
struct Refusal {
    int code = 0;
    std::string why;
};

std::optional<Refusal> ReadBounds(const RawQuery& q, ItemQuery& query) {
    for (auto [name, bound] :
         {std::pair{"start_price", &query.minCents}, std::pair{"end_price", &query.maxCents}}) {
        if (!q.Has(name)) continue;
        auto cents = ParsePriceCents(q.Get(name));
        if (!cents) return Refusal{45, std::string("invalid ") + name};
        *bound = *cents;
    }
    for (auto [name, bound] :
         {std::pair{"start_credit", &query.minCredit}, std::pair{"end_credit", &query.maxCredit}}) {
        if (!q.Has(name)) continue;
        int score = CreditScoreOf(q.Get(name));
        if (!score) return Refusal{46, std::string("invalid ") + name};
        *bound = score;
    }
    if (query.minCredit > query.maxCredit) std::swap(query.minCredit, query.maxCredit);
    return std::nullopt;
}

// The search an item request asks for, or why it is refused.
std::optional<Refusal> ReadItemQuery(const RawQuery& q, const Catalogue& catalogue,
                                     ItemQuery& query) {
    if (q.Has("cid")) {
        auto cid = ParseInteger(q.Get("cid"), 0, INT32_MAX);
        if (!cid) return Refusal{42, "invalid cid"};
        query.cid = static_cast<int>(*cid);
        // A category that does not exist matches nothing rather than everything.
        if (query.cid && !catalogue.Find(query.cid)) query.cid = -1;
    }
    const std::string& keyword = q.Get("keyword");
    if (!IsValidUtf8(keyword) || keyword.size() > 200) return Refusal{43, "invalid keyword"};
    query.words = SplitWords(keyword);
    const std::string& area = q.Get("area");
    if (!IsValidUtf8(area) || area.size() > 2000) return Refusal{44, "invalid area"};
    for (size_t start = 0; start < area.size();) {
        size_t end = std::min(area.find(',', start), area.size());
        if (end > start) query.areas.push_back(area.substr(start, end - start));
        start = end + 1;
    }
    if (auto refused = ReadBounds(q, query)) return refused;
    query.guaranteeOnly = q.Get("guarantee") == "true";
    if (q.Has("sort")) {
        const auto& keys = SortKeys();
        auto at = std::find(keys.begin(), keys.end(), q.Get("sort"));
        if (at == keys.end()) return Refusal{47, "invalid sort"};
        query.sort = static_cast<ItemQuery::Sort>(at - keys.begin());
    }
    if (q.Has("page_no")) {
        auto page = ParseInteger(q.Get("page_no"), 1, 1000000000);
        if (!page) return Refusal{48, "invalid page_no"};
        query.page = *page;
    }
    return std::nullopt;
}

// Text the result page reads as HTML, inside an XML element: escaped for both.
void AppendHtmlXml(std::string& out, const std::string& text) {
    if (text.find_first_of("&<>\"'") == std::string::npos)
        AppendXmlText(out, text);  // nothing for HTML to escape, the common case
    else
        AppendXmlText(out, HtmlText(text));
}

// One field of an item, by its place in the service's field list, as XML text.
void AppendItemField(std::string& out, const Item& it, size_t field,
                     const std::vector<std::string>& words, const std::string& base) {
    auto link = [&](const std::string& own, const char* path, int64_t id, const char* tail) {
        if (!own.empty()) return AppendXmlText(out, own);
        AppendXmlText(out, base);
        out += path;
        AppendNumber(out, id);
        out += tail;
    };
    switch (field) {
        case 0:
            return AppendHtmlXml(out, it.nick);
        case 1:
            if (words.empty()) return AppendHtmlXml(out, it.title);
            return AppendXmlText(out, HighlightTitle(it.title, words));
        case 2:
            return AppendMoney(out, it.priceCents);
        case 3:
            return link(it.picUrl, "pic/", it.num_iid, ".jpg");
        case 4:
            return AppendNumber(out, it.num_iid);
        case 5:
            return link(it.clickUrl, "item/", it.num_iid, "");
        case 6:
            return AppendMoney(out, it.commissionCents);
        case 7:
            return AppendNumber(out, it.commissionNum);
        case 8:
            return AppendMoney(out, it.commissionRateBp);
        case 9:
            return AppendMoney(out, it.commissionVolumeCents);
        case 10:
            return link(it.shopClickUrl, "shop/", it.sellerId, "");
        case 11:
            return AppendNumber(out, it.credit);
        case 12:
            return AppendHtmlXml(out, it.location);
        case 13:
            return AppendNumber(out, it.volume);
    }
}

// The reply document of one page: the fields asked for, in the order asked.
std::string ItemsReplyXml(const ItemPage& page, const std::vector<std::string>& fields,
                          const std::vector<std::string>& words, const std::string& base) {
    std::vector<size_t> which;
    for (const std::string& f : fields)
        which.push_back(static_cast<size_t>(
            std::find(std::begin(kItemFieldNames), std::end(kItemFieldNames), f) -
            std::begin(kItemFieldNames)));
    std::string xml;
    xml.reserve(1024 + page.items.size() * 1024);
    xml += kXmlHead;
    xml += "<tbk_items_get_response><total_results>";
    AppendNumber(xml, page.total);
    xml += "</total_results><taobaoke_items>";
    for (const Item* it : page.items) {
        xml += "<taobaoke_item>";
        for (size_t k = 0; k < fields.size(); ++k) {
            xml += '<';
            xml += fields[k];
            xml += '>';
            AppendItemField(xml, *it, which[k], words, base);
            xml += "</";
            xml += fields[k];
            xml += '>';
        }
        xml += "</taobaoke_item>";
    }
    xml += "</taobaoke_items></tbk_items_get_response>\n";
    return xml;
}

}  // namespace

void ProxyServer::HandleItems(const httplib::Request& req, httplib::Response& res) {
    // The signed values, in the order the client concatenates them.
    static const char* const kSigned[] = {"cid",
                                          "area",
                                          "sort",
                                          "keyword",
                                          "page_no",
                                          "auto_send",
                                          "end_price",
                                          "guarantee",
                                          "end_credit",
                                          "start_price",
                                          "start_credit",
                                          "end_commissionNum",
                                          "end_commissionRate",
                                          "start_commissionNum",
                                          "start_commissionRate"};
    auto values = [](const RawQuery& q) {
        std::string v;
        for (const char* name : kSigned) v += q.Get(name);
        return v;
    };
    RawQuery q;
    std::vector<std::string> fields;
    if (!ReadSignedRequest(req, res, kItemFieldNames, values, q, fields)) return;
    ItemQuery query;
    if (auto refused = ReadItemQuery(q, FCatalogue, query))
        return Refuse(res, refused->code, refused->why);
    ItemPage page = FOptions.scanSearch ? ScanItems(FCatalogue, query) : FIndex->Search(query);
    Reply(res, ItemsReplyXml(page, fields, query.words, PublicBase(req)),
          "text/xml; charset=utf-8");
}

void ProxyServer::HandleItemcats(const httplib::Request& req, httplib::Response& res) {
    auto refuse = [&res](int code, const std::string& why) { Refuse(res, code, why); };
    RawQuery q;
    std::vector<std::string> fields;
    auto values = [](const RawQuery& r) { return r.Get("cids") + r.Get("parent_cid"); };
    if (!ReadSignedRequest(req, res, kItemcatFieldNames, values, q, fields)) return;

    std::vector<const Category*> cats;
    if (q.Has("cids")) {
        const std::string& cids = q.Get("cids");
        for (size_t start = 0; start <= cids.size() && cats.size() < 200;) {
            size_t end = std::min(cids.find(',', start), cids.size());
            auto cid =
                ParseInteger(std::string_view(cids).substr(start, end - start), 1, INT32_MAX);
            if (!cid) return refuse(42, "invalid cids");
            if (const Category* c = FCatalogue.Find(static_cast<int>(*cid))) cats.push_back(c);
            start = end + 1;
        }
    } else if (q.Has("parent_cid")) {
        auto parent = ParseInteger(q.Get("parent_cid"), 0, INT32_MAX);
        if (!parent) return refuse(42, "invalid parent_cid");
        cats = FCatalogue.Children(static_cast<int>(*parent));
    } else {
        return refuse(41, "missing parent_cid or cids");
    }
    std::string xml = std::string(kXmlHead) + "<itemcats_get_response><item_cats>";
    for (const Category* c : cats) {
        xml += "<item_cat>";
        for (const std::string& f : fields) {
            std::string v;
            if (f == "cid")
                v = std::to_string(c->cid);
            else if (f == "name")
                v = c->name;
            else if (f == "status")
                v = "normal";
            else if (f == "is_parent")
                v = c->children.empty() ? "false" : "true";
            else if (f == "sort_order")
                v = std::to_string(c->sort_order);
            else if (f == "parent_cid")
                v = std::to_string(c->parent_cid);
            xml += "<" + f + ">" + XmlEscape(v) + "</" + f + ">";
        }
        xml += "</item_cat>";
    }
    xml += "</item_cats></itemcats_get_response>\n";
    Reply(res, xml, "text/xml; charset=utf-8");
}

void ProxyServer::HandleSoftInfo(const httplib::Request& req, httplib::Response& res) {
    if (!req.has_param("pid") || req.get_param_value("pid").empty()) {
        Reply(res, "error", "text/plain; charset=utf-8");
        return;
    }
    std::string base = PublicBase(req);
    // Values are read by their line, not by their key: name, notes, package name, version,
    // package address, and the maker's signature of the package (where a release date stood,
    // which no client reads).
    std::string text =
        "[Quellot]\r\n"
        "product=Quellot\r\n"
        "notes=淘宝客商品搜索客户端\r\n"
        "update_name=" +
        FOptions.updateName +
        "\r\n"
        "version=" +
        FOptions.offerVersion +
        "\r\n"
        "update_url=" +
        base + "update/" + FOptions.updateName + ".zip\r\n" +
        (FUpdateSignature.empty() ? "released=2026-12-10" : "signature=" + FUpdateSignature) +
        "\r\n";
    Reply(res, text, "text/plain; charset=utf-8");
}
