// The category tree: the top level at start-up, children on first expansion, a search on
// every selection the user makes.

#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "CategoryNames.h"
#include "GbkText.h"
#include "Pictures.h"
#include "Service.h"
#include "ServiceReply.h"
#include "Unit1.h"

namespace {

enum Role {
    kCategoryId = Qt::UserRole,
    kPlaceholder = Qt::UserRole + 1,
    kPicture = Qt::UserRole + 2
};

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Colours of a row: the selected one red on light cyan, the others in the active tab's
// caption colour.
class CategoryRowDelegate : public QStyledItemDelegate {
public:
    CategoryRowDelegate(QObject* parent, QColor caption)
        : QStyledItemDelegate(parent), FCaption(caption) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        bool selected = opt.state & QStyle::State_Selected;
        painter->save();
        if (selected) painter->fillRect(opt.rect, QColor(128, 255, 255));
        QRect r = opt.rect.adjusted(2, 0, -2, 0);
        if (!opt.icon.isNull()) {
            opt.icon.paint(painter, QRect(r.left(), r.top() + (r.height() - 16) / 2, 16, 16));
            r.setLeft(r.left() + 20);
        }
        painter->setPen(selected ? QColor(255, 0, 0) : FCaption);
        painter->setFont(opt.font);
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, opt.text);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        return QSize(s.width() + 4, std::max(19, s.height()));
    }

private:
    QColor FCaption;
};

}  // namespace

bool IsPlaceholder(const QTreeWidgetItem* item) {
    return item && item->data(0, kPlaceholder).toBool();
}

void TForm1::SetUpTree() {
    FCategoryIcons = pictures::CategoryPictures();
    // The skin's caption colour of the active tab.
    bsSkinTreeView1->setItemDelegate(
        new CategoryRowDelegate(bsSkinTreeView1, QColor(0x0b, 0x2f, 0x6b)));
    QPalette p = bsSkinTreeView1->palette();
    p.setColor(QPalette::Highlight, QColor(128, 255, 255));
    bsSkinTreeView1->setPalette(p);
    connect(bsSkinTreeView1, &QTreeWidget::itemExpanded, this, &TForm1::bsSkinTreeView1Expanding);
}

QTreeWidgetItem* TForm1::AddCategoryNode(QTreeWidgetItem* parent, const Tb_Itemcats_Info& cat,
                                         int32_t id, int picture) {
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(bsSkinTreeView1);
    node->setText(0, FromGbk(cat.name));
    node->setData(0, kCategoryId, id);
    node->setData(0, kPicture, picture);
    if (picture >= 0 && picture < FCategoryIcons.size())
        node->setIcon(0, QIcon(FCategoryIcons[picture]));
    if (cat.is_parent == "true") {
        // Marks the children as not yet loaded; it can never be selected or searched for.
        auto* placeholder = new QTreeWidgetItem(node, {Q(kLoadingRow)});
        placeholder->setData(0, kPlaceholder, true);
        placeholder->setFlags(Qt::NoItemFlags);
    }
    return node;
}

Tb_Itemcats_Cond TForm1::CategoryRequest(const Text& baseUrl, const Text& parent) const {
    Tb_Itemcats_Cond cond;
    cond.pid = PublisherId;
    cond.url = baseUrl + kItemcatsPath;
    cond.parent_cid = parent;
    return cond;
}

void TForm1::AddRootNode() {
    auto* root = new QTreeWidgetItem(bsSkinTreeView1, {QString::fromUtf8("所有类目")});
    root->setData(0, kCategoryId, 0);
    root->setData(0, kPicture, 0);
    if (!FCategoryIcons.isEmpty()) root->setIcon(0, QIcon(FCategoryIcons[0]));
    // Selecting the root is the first search, once the service's address is settled.
    const QSignalBlocker block(bsSkinTreeView1);
    bsSkinTreeView1->setCurrentItem(root);
    FLastNode = root;
}

std::vector<Tb_Itemcats_Info> TForm1::FetchCategories(const Text& baseUrl, const Text& parent,
                                                      int entries, int timeLeftMs, bool& ok) {
    // On the service worker: the only thread that uses the category client.
    std::vector<Tb_Itemcats_Info> out;
    ok = false;
    if (timeLeftMs <= 0) return out;
    Taobao_Itemcats1.Http().SetTotalTimeout(std::min(kSmallReplyTotalTimeoutMs, timeLeftMs));
    ATb_Itemcats_Info* cats = nullptr;
    if (!Taobao_Itemcats1.GetItemcats(CategoryRequest(baseUrl, parent), Tb_Itemcats_Info{}, cats))
        return out;
    ok = true;
    for (int i = 0; i < entries; ++i) out.push_back((*cats)[i]);
    return out;
}

void TForm1::LoadTopLevel() {
    if (FTopLevel != TreeState::NotLoaded) return;
    FTopLevel = TreeState::Loading;
    QTreeWidgetItem* loading = new QTreeWidgetItem(bsSkinTreeView1, {Q(kLoadingRow)});
    loading->setData(0, kPlaceholder, true);
    loading->setFlags(Qt::NoItemFlags);
    // During start-up the address is the one the software information settled on, on the
    // worker; later it is the window's.
    const Text url = FStarting ? Text() : ServiceBaseUrl;
    const auto deadline = FStarting ? FStartupDeadline
                                    : std::chrono::steady_clock::now() +
                                          std::chrono::milliseconds(kSmallReplyTotalTimeoutMs);
    FServiceWorker.Post([this, url, deadline] {
        bool ok = false;
        std::vector<Tb_Itemcats_Info> cats =
            FetchCategories(url.empty() ? FWorkerBaseUrl : url, "0", kTopLevelCategoryEntries,
                            MillisecondsLeft(deadline), ok);
        QMetaObject::invokeMethod(
            this, [this, ok, cats] { TopLevelArrived(ok, cats); }, Qt::QueuedConnection);
    });
}

void TForm1::TopLevelArrived(bool ok, const std::vector<Tb_Itemcats_Info>& cats) {
    for (int i = bsSkinTreeView1->topLevelItemCount() - 1; i >= 1; --i)
        if (IsPlaceholder(bsSkinTreeView1->topLevelItem(i)))
            delete bsSkinTreeView1->takeTopLevelItem(i);
    // Not loaded: asked for again when the root is selected, or by F5.
    FTopLevel = ok ? TreeState::Loaded : TreeState::NotLoaded;
    if (!ok) return;
    for (const Tb_Itemcats_Info& cat : cats) {
        int32_t id = 0;
        if (cat.cid.empty() || cat.name == "error" || !ParseCategoryId(cat.cid, id)) continue;
        AddCategoryNode(nullptr, cat, id, CategoryPicture(cat.name));
    }
}

void TForm1::bsSkinTreeView1Expanding(QTreeWidgetItem* Node) {
    if (!Node || Node->childCount() == 0 || !IsPlaceholder(Node->child(0))) return;
    if (!FLoadingNodes.insert(Node).second) return;  // asked for already
    const Text parent = std::to_string(Node->data(0, kCategoryId).toInt());
    FServiceWorker.Post([this, Node, parent, url = ServiceBaseUrl] {
        bool ok = false;
        std::vector<Tb_Itemcats_Info> cats =
            FetchCategories(url, parent, kChildCategoryEntries, kSmallReplyTotalTimeoutMs, ok);
        QMetaObject::invokeMethod(
            this, [this, Node, ok, cats] { ChildrenArrived(Node, ok, cats); },
            Qt::QueuedConnection);
    });
}

void TForm1::ChildrenArrived(QTreeWidgetItem* node, bool ok,
                             const std::vector<Tb_Itemcats_Info>& cats) {
    // Nodes are never removed (tabs refer to them); only one that was asked for is filled.
    if (FLoadingNodes.erase(node) == 0) return;
    // A node closed meanwhile, or a failure, keeps its loading row: the next expansion asks
    // again. A failed node closes, so the row does not stay there saying it loads.
    if (!ok) node->setExpanded(false);
    if (!ok || !node->isExpanded()) return;
    // Only the placeholder goes: children already loaded are never replaced, tabs refer to them.
    for (int i = node->childCount() - 1; i >= 0; --i)
        if (IsPlaceholder(node->child(i))) delete node->takeChild(i);
    int picture = node->data(0, kPicture).toInt();
    for (int i = 0; i < static_cast<int>(cats.size()) && !cats[i].cid.empty(); ++i) {
        int32_t id = 0;
        if (!ParseCategoryId(cats[i].cid, id)) continue;
        AddCategoryNode(node, cats[i], id, picture);
    }
}

void TForm1::bsSkinTreeView1Change() {
    QTreeWidgetItem* node = bsSkinTreeView1->currentItem();
    if (IsPlaceholder(node)) {
        // Keyboard navigation may land on a placeholder row: it is no category, go back.
        const QSignalBlocker block(bsSkinTreeView1);
        bsSkinTreeView1->setCurrentItem(FLastNode);
        return;
    }
    FLastNode = node;
    if (node == bsSkinTreeView1->topLevelItem(0)) LoadTopLevel();  // when it could not be loaded
    if (FSearchOnSelect) StartSearch();
}
