#include "FeedImport.h"

#include <array>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "CatalogueStore.h"
#include "Query.h"
#include "Text.h"

namespace {

enum Column {
    Title,
    Nick,
    Price,
    PicUrl,
    NumIid,
    ClickUrl,
    ShopClickUrl,
    Credit,
    Location,
    Volume,
    Commission,
    CommissionNum,
    CommissionRate,
    CommissionVolume,
    CategoryPath,
    Guarantee,
    kColumnCount
};

const char* const kColumnNames[kColumnCount] = {"title",           "nick",
                                                "price",           "pic_url",
                                                "num_iid",         "click_url",
                                                "shop_click_url",  "seller_credit_score",
                                                "item_location",   "volume",
                                                "commission",      "commission_num",
                                                "commission_rate", "commission_volume",
                                                "category",        "guarantee"};

// The columns every row must have; the others may be left out or empty.
bool Required(int c) {
    return c == Title || c == Nick || c == Price || c == NumIid || c == Credit || c == Location ||
           c == CategoryPath;
}

using Fields = std::array<std::optional<std::string>, kColumnCount>;

int ColumnOf(const std::string& name) {
    for (int c = 0; c < kColumnCount; ++c)
        if (name == kColumnNames[c]) return c;
    return -1;
}

bool PlainText(const std::string& s, size_t maxBytes, std::string& why, const char* what) {
    if (s.size() > maxBytes)
        return why = std::string(what) + " longer than " + std::to_string(maxBytes) + " bytes",
               false;
    if (!IsValidUtf8(s)) return why = std::string(what) + " is not valid UTF-8", false;
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return why = std::string(what) + " holds a control character", false;
    return true;
}

// A link the result page may show: http or https, with nothing that could leave an attribute.
bool Link(const std::string& s, std::string& why, const char* what) {
    if (s.empty()) return true;
    if (s.size() > 2000 || (s.rfind("http://", 0) != 0 && s.rfind("https://", 0) != 0))
        return why = std::string(what) + " is not an http or https address", false;
    for (char c : s)
        if (static_cast<unsigned char>(c) <= 0x20 || c == '"' || c == '\'' || c == '<' ||
            c == '>' || c == '\\' || c == 0x7F)
            return why = std::string(what) + " holds a character an address may not", false;
    return IsValidUtf8(s) || (why = std::string(what) + " is not valid UTF-8", false);
}

std::vector<std::string> CategoryParts(const std::string& path) {
    std::vector<std::string> parts;
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(path.find('>', start), path.size());
        std::string part = path.substr(start, end - start);
        size_t a = part.find_first_not_of(' '), b = part.find_last_not_of(' ');
        parts.push_back(a == std::string::npos ? std::string() : part.substr(a, b - a + 1));
        start = end + 1;
    }
    return parts;
}

// One row's fields as an item; false with the reason for the first bad value.
bool ToItem(const Fields& f, CatalogueStore& store, Item& it, std::string& why) {
    for (int c = 0; c < kColumnCount; ++c)
        if (Required(c) && (!f[c] || f[c]->empty()))
            return why = std::string("missing ") + kColumnNames[c], false;
    auto text = [&f](int c) { return f[c] ? *f[c] : std::string(); };
    auto whole = [&](int c, int64_t min, int64_t max, int64_t& out) {
        if (text(c).empty() && !Required(c)) return true;
        auto v = ParseInteger(text(c), min, max);
        if (!v)
            return why = std::string(kColumnNames[c]) + " '" + text(c) +
                         "' is not a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max),
                   false;
        out = *v;
        return true;
    };
    auto money = [&](int c, std::optional<int64_t>& out) {
        if (text(c).empty() && !Required(c)) return true;
        auto v = ParsePriceCents(text(c));
        if (!v)
            return why = std::string(kColumnNames[c]) + " '" + text(c) +
                         "' is not an amount such as 12 or 12.50",
                   false;
        out = *v;
        return true;
    };
    if (!PlainText(text(Title), 500, why, "title") || !PlainText(text(Nick), 100, why, "nick") ||
        !PlainText(text(Location), 100, why, "item_location") ||
        !PlainText(text(CategoryPath), 400, why, "category"))
        return false;
    for (int c : {PicUrl, ClickUrl, ShopClickUrl})
        if (!Link(text(c), why, kColumnNames[c])) return false;
    int64_t credit = 0;
    std::optional<int64_t> price, commission, rate, commissionVolume;
    if (!whole(NumIid, 1, 999999999999999LL, it.num_iid) || !whole(Credit, 1, 20, credit) ||
        !money(Price, price) || !whole(Volume, 0, 1000000000000LL, it.volume) ||
        !whole(CommissionNum, 0, 1000000000000LL, it.commissionNum) ||
        !money(Commission, commission) || !money(CommissionRate, rate) ||
        !money(CommissionVolume, commissionVolume))
        return false;
    if (rate && *rate > 10000) return why = "commission_rate above 100", false;
    const std::string g = text(Guarantee);
    if (g != "" && g != "true" && g != "false" && g != "1" && g != "0")
        return why = "guarantee '" + g + "' is not true, false, 1 or 0", false;
    std::vector<std::string> path = CategoryParts(text(CategoryPath));
    if (path.size() > 3) return why = "category has more than three levels", false;
    for (const std::string& part : path)
        if (part.empty()) return why = "category has an empty level", false;
    it.title = text(Title);
    it.nick = text(Nick);
    it.location = text(Location);
    it.picUrl = text(PicUrl);
    it.clickUrl = text(ClickUrl);
    it.shopClickUrl = text(ShopClickUrl);
    it.credit = static_cast<int>(credit);
    it.guarantee = g == "true" || g == "1";
    it.priceCents = *price;
    it.commissionRateBp = rate.value_or(0);
    it.commissionCents = commission.value_or(it.priceCents * it.commissionRateBp / 10000);
    it.commissionVolumeCents = commissionVolume.value_or(it.commissionCents * it.commissionNum);
    it.cid = store.CategoryOf(path, why);
    it.sellerId = it.cid ? store.SellerOf(it.nick, why) : -1;
    return it.cid > 0 && it.sellerId >= 0;
}

// CSV records as RFC 4180 has them: quoted fields may hold commas, doubled quotes and line ends.
class CsvReader {
public:
    explicit CsvReader(std::istream& in) : FIn(in) {}
    // The next record's fields and the line it starts on; false at the end or on an unclosed
    // quote (then why is set).
    bool Next(std::vector<std::string>& fields, int64_t& line, std::string& why) {
        std::string text;
        do {
            if (!std::getline(FIn, text)) return false;
            ++FLine;
            if (FLine == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
            if (!text.empty() && text.back() == '\r') text.pop_back();
        } while (text.empty());
        line = FLine;
        fields.assign(1, std::string());
        bool quoted = false;
        for (size_t i = 0;; ++i) {
            if (i == text.size()) {
                if (!quoted) return true;
                std::string more;
                if (!std::getline(FIn, more)) return why = "a quoted field is never closed", false;
                ++FLine;
                if (!more.empty() && more.back() == '\r') more.pop_back();
                text += '\n' + more;
            }
            char c = text[i];
            if (quoted) {
                if (c != '"')
                    fields.back() += c;
                else if (i + 1 < text.size() && text[i + 1] == '"')
                    fields.back() += '"', ++i;
                else
                    quoted = false;
            } else if (c == ',') {
                fields.emplace_back();
            } else if (c == '"' && fields.back().empty()) {
                quoted = true;
            } else {
                fields.back() += c;
            }
        }
    }

private:
    std::istream& FIn;
    int64_t FLine = 0;
};

// A JSON value as the text a CSV cell would hold.
std::optional<std::string> CellOf(const nlohmann::json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
    if (v.is_number_integer() || v.is_number_unsigned()) return v.dump();
    if (v.is_number_float()) {
        // 12.5 and 12.50 both mean twelve yuan fifty; two decimals at most, as in CSV.
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", v.get<double>());
        return std::string(buf);
    }
    return std::nullopt;
}

bool ReadJsonRow(const std::string& line, Fields& f, std::string& why) {
    nlohmann::json row = nlohmann::json::parse(line, nullptr, false);
    if (row.is_discarded() || !row.is_object())
        return why = "not a JSON object (or not valid UTF-8)", false;
    for (auto& [key, value] : row.items()) {
        int c = ColumnOf(key);
        if (c < 0) return why = "unknown field '" + key + "'", false;
        if (value.is_null()) continue;
        f[c] = CellOf(value);
        if (!f[c]) return why = key + " is not a string, number or flag", false;
    }
    return true;
}

}  // namespace

bool ImportFeed(const std::string& feedPath, CatalogueStore& store, ImportCount& count,
                std::string& error, const std::function<void(int64_t)>& progress) {
    std::ifstream in(feedPath, std::ios::binary);
    if (!in) return error = "cannot read " + feedPath, false;
    std::string first;
    bool json = feedPath.size() > 6 && (feedPath.rfind(".jsonl") == feedPath.size() - 6 ||
                                        feedPath.rfind(".ndjson") == feedPath.size() - 7);
    if (!json) {
        in >> std::ws;
        json = in.peek() == '{';
        in.seekg(0);
    }
    count = {};
    if (!store.Begin(error)) return false;
    int64_t line = 0;
    std::string why;
    auto fail = [&] {
        store.Rollback();
        error = feedPath + ":" + std::to_string(line) + ": " + why;
        return false;
    };
    auto put = [&](const Fields& f) {
        Item it;
        bool replaced = false;
        if (!ToItem(f, store, it, why) || !store.Put(it, why, &replaced)) return false;
        ++count.rows;
        ++(replaced ? count.updated : count.added);
        if (progress && count.rows % 100000 == 0) progress(count.rows);
        return true;
    };
    if (json) {
        for (std::string text; std::getline(in, text);) {
            ++line;
            if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
            Fields f;
            if (!ReadJsonRow(text, f, why) || !put(f)) return fail();
        }
    } else {
        CsvReader csv(in);
        std::vector<std::string> header, cells;
        if (!csv.Next(header, line, why)) return why = why.empty() ? "no header row" : why, fail();
        std::vector<int> columns;
        for (const std::string& name : header) {
            int c = ColumnOf(name);
            if (c < 0) return why = "unknown column '" + name + "'", fail();
            if (std::find(columns.begin(), columns.end(), c) != columns.end())
                return why = "column '" + name + "' given twice", fail();
            columns.push_back(c);
        }
        for (int c = 0; c < kColumnCount; ++c)
            if (Required(c) && std::find(columns.begin(), columns.end(), c) == columns.end())
                return why = std::string("missing column ") + kColumnNames[c], fail();
        while (csv.Next(cells, line, why)) {
            if (cells.size() != columns.size())
                return why = std::to_string(cells.size()) + " fields where the header has " +
                             std::to_string(columns.size()),
                       fail();
            Fields f;
            for (size_t i = 0; i < cells.size(); ++i) f[columns[i]] = std::move(cells[i]);
            if (!put(f)) return fail();
        }
        if (!why.empty()) return fail();
    }
    if (in.bad()) return why = "read error", fail();
    return store.Commit(error);
}
