#include "Criteria.h"

#include <utility>

#include "Decimal.h"
#include "MD5.h"
#include "Service.h"

Text SearchKey(const Criteria& c) {
    Text joined = c.Keyword + c.NodeCaption + c.StartPrice + c.EndPrice +
                  std::to_string(c.SortIndex) + std::to_string(c.StartCreditIndex) +
                  std::to_string(c.EndCreditIndex) + std::to_string(c.AreaIndex) +
                  (c.Guarantee ? "1" : "0");
    return MD5Print(MD5String(joined));
}

NormalizeChanges NormalizeCriteria(Criteria& c) {
    NormalizeChanges changed;
    size_t first = 0, last = c.Keyword.size();
    while (first < last && static_cast<unsigned char>(c.Keyword[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(c.Keyword[last - 1]) <= 32) --last;
    if (first != 0 || last != c.Keyword.size()) {
        c.Keyword = c.Keyword.substr(first, last - first);
        changed.keyword = true;
    }
    if (c.StartPriceValue > c.EndPriceValue) {
        std::swap(c.StartPriceValue, c.EndPriceValue);
        // A box given a new value shows that value's decimal text.
        c.StartPrice = std::to_string(c.StartPriceValue);
        c.EndPrice = std::to_string(c.EndPriceValue);
        changed.prices = true;
    }
    if (c.StartCreditIndex > c.EndCreditIndex) {
        std::swap(c.StartCreditIndex, c.EndCreditIndex);
        changed.credits = true;
    }
    return changed;
}

Tbk_Items_Cond BuildConditions(const Criteria& c, int pageNo, const Text& baseUrl,
                               const Text& pid) {
    Tbk_Items_Cond cond;
    cond.cid = std::to_string(c.CategoryId);
    cond.pid = pid;
    cond.area = TableValue(RegionValues(), c.AreaIndex);
    cond.url = baseUrl + kItemsPath;
    cond.sort = TableValue(SortKeys(), c.SortIndex);
    cond.keyword = c.Keyword;
    cond.start_price = c.StartPrice;
    cond.end_price = c.EndPrice;
    cond.page_no = std::to_string(pageNo);
    cond.start_credit = TableValue(CreditLevels(), c.StartCreditIndex);
    cond.end_credit = TableValue(CreditLevels(), c.EndCreditIndex);
    if (c.Guarantee) cond.guarantee = "true";
    return cond;
}

bool ParseCategoryId(const Text& text, int32_t& id) {
    std::optional<int64_t> value = ParseDecimal(text, true);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) return false;
    id = static_cast<int32_t>(*value);
    return true;
}
