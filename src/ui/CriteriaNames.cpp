#include "CriteriaNames.h"

#include "GbkText.h"

namespace {
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

QString Line(const char* label, const QString& value) {
    return "<tr><td>" + Q(label) + "</td><td>" + value.toHtmlEscaped() + "</td></tr>";
}

QString PriceOf(const Text& price) { return price.empty() ? Q("不限") : FromGbk(price); }
}  // namespace

const QStringList& SortNames() {
    static const QStringList names{Q("默认排序"), Q("价格从低到高"), Q("价格从高到低"),
                                   Q("信用从高到低"), Q("销量从高到低")};
    return names;
}

QString CreditName(int index) {
    static const char* const numbers[] = {"一", "二", "三", "四", "五"};
    static const char* const marks[] = {"心", "钻", "冠", "皇冠"};
    if (index < 0 || index >= 20) return Q("不限");
    return Q(numbers[index % 5]) + Q(marks[index / 5]);
}

QString TabToolTip(const TAB& t, const QStringList& categoryPath, const QString& region) {
    const int sort = t.SortIndex;
    QString page = QString::number(t.PageNo) + " / " + QString::number(t.PageCount);
    if (!t.TotalResults.empty()) page += Q("（共 %1 件）").arg(FromGbk(t.TotalResults));
    // A table keeps the values in one column; nowrap keeps a long keyword on its line.
    return "<table style='white-space:nowrap'>" +
           Line("关键字：", t.Keyword.empty() ? Q("（无）") : FromGbk(t.Keyword)) +
           Line("类目：", categoryPath.isEmpty() ? Q("所有类目") : categoryPath.join(" > ")) +
           Line("价格：", PriceOf(t.StartPrice) + " - " + PriceOf(t.EndPrice)) +
           Line("信用：", CreditName(t.StartCreditIndex) + " - " + CreditName(t.EndCreditIndex)) +
           Line("所在：", region) + Line("消保：", t.Guarantee ? Q("是") : Q("否")) +
           Line("排序：",
                sort >= 0 && sort < SortNames().size() ? SortNames()[sort] : Q("默认排序")) +
           Line("显示：", t.ViewIndex == 1 ? Q("大图显示") : Q("列表显示")) + Line("页：", page) +
           "</table>";
}
