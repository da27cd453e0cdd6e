#include "CatalogueStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// "QULT": marks the file as ours, so another program's database is refused by name.
constexpr int kApplicationId = 0x51554C54;
constexpr int kSchemaVersion = 1;

const char* const kSchema = R"sql(
CREATE TABLE category(
  cid INTEGER PRIMARY KEY,
  parent_cid INTEGER NOT NULL,
  name TEXT NOT NULL,
  sort_order INTEGER NOT NULL,
  UNIQUE(parent_cid, name));
CREATE TABLE seller(
  id INTEGER PRIMARY KEY,
  nick TEXT NOT NULL UNIQUE);
CREATE TABLE item(
  num_iid INTEGER PRIMARY KEY,
  title TEXT NOT NULL,
  nick TEXT NOT NULL,
  price_cents INTEGER NOT NULL CHECK(price_cents >= 0),
  cid INTEGER NOT NULL REFERENCES category(cid),
  seller_id INTEGER NOT NULL REFERENCES seller(id),
  credit INTEGER NOT NULL CHECK(credit BETWEEN 1 AND 20),
  guarantee INTEGER NOT NULL CHECK(guarantee IN (0, 1)),
  location TEXT NOT NULL,
  volume INTEGER NOT NULL,
  commission_cents INTEGER NOT NULL,
  commission_rate_bp INTEGER NOT NULL,
  commission_num INTEGER NOT NULL,
  commission_volume_cents INTEGER NOT NULL,
  pic_url TEXT NOT NULL,
  click_url TEXT NOT NULL,
  shop_click_url TEXT NOT NULL);
CREATE VIRTUAL TABLE item_title USING fts5(
  title, content='item', content_rowid='num_iid', tokenize='trigram');
)sql";

int64_t CharacterCount(const std::string& utf8) {
    int64_t n = 0;
    for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string Message(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v3(db, sql, -1, 0, &FStmt, nullptr); }
    ~Statement() { sqlite3_finalize(FStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return FStmt != nullptr; }
    sqlite3_stmt* operator*() const { return FStmt; }
    Statement& Bind(int at, int64_t v) {
        sqlite3_bind_int64(FStmt, at, v);
        return *this;
    }
    Statement& Bind(int at, const std::string& v) {
        sqlite3_bind_text(FStmt, at, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error; a finished statement is reset for the next use.
    int Step() {
        int rc = sqlite3_step(FStmt);
        if (rc != SQLITE_ROW) {
            sqlite3_reset(FStmt);
            sqlite3_clear_bindings(FStmt);
        }
        return rc;
    }
    int64_t Int(int column) const { return sqlite3_column_int64(FStmt, column); }
    std::string Str(int column) const {
        const unsigned char* text = sqlite3_column_text(FStmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<size_t>(sqlite3_column_bytes(FStmt, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* FStmt = nullptr;
};

}  // namespace

struct CatalogueStore::Statements {
    explicit Statements(sqlite3* db)
        : oldTitle(db, "SELECT title FROM item WHERE num_iid = ?"),
          forget(db, "INSERT INTO item_title(item_title, rowid, title) VALUES('delete', ?, ?)"),
          put(db,
              "INSERT OR REPLACE INTO item(num_iid, title, nick, price_cents, cid, seller_id, "
              "credit, guarantee, location, volume, commission_cents, commission_rate_bp, "
              "commission_num, commission_volume_cents, pic_url, click_url, shop_click_url) "
              "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          index(db, "INSERT INTO item_title(rowid, title) VALUES(?, ?)"),
          findCategory(db, "SELECT cid FROM category WHERE parent_cid = ? AND name = ?"),
          addCategory(db,
                      "INSERT INTO category(cid, parent_cid, name, sort_order) VALUES(?, ?, ?, "
                      "(SELECT count(*) + 1 FROM category WHERE parent_cid = ?))"),
          addCategoryOrdered(
              db, "INSERT INTO category(cid, parent_cid, name, sort_order) VALUES(?, ?, ?, ?)"),
          findSeller(db, "SELECT id FROM seller WHERE nick = ?"),
          addSeller(db, "INSERT INTO seller(id, nick) VALUES(?, ?)") {}
    bool Ready() const {
        return oldTitle && forget && put && index && findCategory && addCategory &&
               addCategoryOrdered && findSeller && addSeller;
    }
    Statement oldTitle, forget, put, index, findCategory, addCategory, addCategoryOrdered,
        findSeller, addSeller;
};

std::unique_ptr<CatalogueStore> CatalogueStore::Open(const std::string& path, Mode mode,
                                                     std::string& error) {
    bool memory = path == ":memory:";
    struct stat st {};
    bool exists = !memory && ::stat(path.c_str(), &st) == 0;
    if (mode == Mode::CreateNew && exists) return error = path + " already exists", nullptr;
    if (mode == Mode::ReadOnly && !memory) {
        if (!exists) return error = "cannot open " + path + ": " + std::strerror(errno), nullptr;
        if (!S_ISREG(st.st_mode)) return error = path + " is not a file", nullptr;
        if (::access(path.c_str(), R_OK) != 0)
            return error = "cannot read " + path + ": " + std::strerror(errno), nullptr;
    }
    int flags = mode == Mode::ReadOnly && !memory ? SQLITE_OPEN_READONLY
                                                  : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<CatalogueStore> store(new CatalogueStore(db));
    if (rc != SQLITE_OK) return error = "cannot open " + path + ": " + Message(db), nullptr;
    sqlite3_busy_timeout(db, 5000);
    // An import is one transaction: the rollback journal keeps the file as it was until the
    // commit, and a crash before it leaves nothing half written.
    if (mode != Mode::ReadOnly) {
        std::string ignored;
        store->Exec("PRAGMA synchronous = NORMAL; PRAGMA cache_size = -262144", ignored);
    }
    std::string why;
    bool fresh = memory || !exists || st.st_size == 0;
    bool create = fresh && (memory || mode != Mode::ReadOnly);
    bool ok = create ? store->CreateSchema(why) : store->CheckSchema(why);
    if (!ok) return error = path + ": " + why, nullptr;
    return store;
}

CatalogueStore::CatalogueStore(sqlite3* db) : FDb(db) {}

CatalogueStore::~CatalogueStore() {
    Rollback();
    FStatements.reset();
    sqlite3_close_v2(FDb);
}

bool CatalogueStore::Exec(const char* sql, std::string& error) const {
    char* message = nullptr;
    if (sqlite3_exec(FDb, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : Message(FDb);
    sqlite3_free(message);
    return false;
}

bool CatalogueStore::CreateSchema(std::string& error) {
    std::string pragmas = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                          "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
    return Exec("BEGIN", error) && Exec(kSchema, error) && Exec(pragmas.c_str(), error) &&
           Exec("COMMIT", error);
}

bool CatalogueStore::CheckSchema(std::string& error) const {
    // Reading the header is what tells a damaged or foreign file apart.
    Statement id(FDb, "PRAGMA application_id");
    if (!id || id.Step() != SQLITE_ROW) return error = Message(FDb), false;
    int64_t app = id.Int(0);
    id.Step();
    if (app != kApplicationId) return error = "not a Quellot catalogue", false;
    Statement version(FDb, "PRAGMA user_version");
    if (!version || version.Step() != SQLITE_ROW) return error = Message(FDb), false;
    int64_t v = version.Int(0);
    version.Step();
    if (v != kSchemaVersion)
        return error = "catalogue format " + std::to_string(v) + " is not the supported " +
                       std::to_string(kSchemaVersion),
               false;
    Statement probe(FDb, "SELECT count(*) FROM category");
    if (!probe || probe.Step() != SQLITE_ROW) return error = Message(FDb), false;
    probe.Step();
    return true;
}

bool CatalogueStore::Begin(std::string& error) {
    if (FInTransaction) return true;
    if (!FStatements) {
        FStatements = std::make_unique<Statements>(FDb);
        if (!FStatements->Ready()) {
            error = Message(FDb);
            FStatements.reset();
            return false;
        }
    }
    if (!Exec("BEGIN IMMEDIATE", error)) return false;
    FInTransaction = true;
    Statement next(FDb,
                   "SELECT (SELECT ifnull(max(cid), 0) + 1 FROM category), "
                   "(SELECT ifnull(max(id), -1) + 1 FROM seller)");
    if (!next || next.Step() != SQLITE_ROW) return error = Message(FDb), Rollback(), false;
    FNextCid = static_cast<int>(next.Int(0));
    FNextSeller = static_cast<int>(next.Int(1));
    next.Step();
    FCategoryIds.clear();
    FSellerIds.clear();
    return true;
}

void CatalogueStore::Rollback() {
    if (!FInTransaction) return;
    std::string ignored;
    Exec("ROLLBACK", ignored);
    FInTransaction = false;
    FCategoryIds.clear();
    FSellerIds.clear();
}

bool CatalogueStore::Commit(std::string& error) {
    if (!Exec("COMMIT", error)) return Rollback(), false;
    FInTransaction = false;
    return true;
}

int CatalogueStore::CategoryOf(const std::vector<std::string>& path, std::string& error) {
    int parent = 0;
    std::string key;
    for (const std::string& name : path) {
        key += name;
        key += '\x1F';
        auto known = FCategoryIds.find(key);
        if (known != FCategoryIds.end()) {
            parent = known->second;
            continue;
        }
        Statement& find = FStatements->findCategory;
        find.Bind(1, parent).Bind(2, name);
        int cid = 0;
        if (find.Step() == SQLITE_ROW) {
            cid = static_cast<int>(find.Int(0));
            find.Step();
        } else {
            cid = FNextCid++;
            Statement& add = FStatements->addCategory;
            if (add.Bind(1, cid).Bind(2, parent).Bind(3, name).Bind(4, parent).Step() !=
                SQLITE_DONE)
                return error = Message(FDb), 0;
        }
        FCategoryIds.emplace(key, cid);
        parent = cid;
    }
    return parent;
}

int CatalogueStore::SellerOf(const std::string& nick, std::string& error) {
    auto known = FSellerIds.find(nick);
    if (known != FSellerIds.end()) return known->second;
    Statement& find = FStatements->findSeller;
    int id = 0;
    if (find.Bind(1, nick).Step() == SQLITE_ROW) {
        id = static_cast<int>(find.Int(0));
        find.Step();
    } else {
        id = FNextSeller++;
        if (FStatements->addSeller.Bind(1, id).Bind(2, nick).Step() != SQLITE_DONE)
            return error = Message(FDb), -1;
    }
    FSellerIds.emplace(nick, id);
    return id;
}

bool CatalogueStore::Put(const Item& it, std::string& error, bool* replaced) {
    Statements& s = *FStatements;
    if (replaced) *replaced = false;
    // The title index keeps no copy of its text: the old title must be named to forget it.
    if (s.oldTitle.Bind(1, it.num_iid).Step() == SQLITE_ROW) {
        std::string old = s.oldTitle.Str(0);
        s.oldTitle.Step();
        if (replaced) *replaced = true;
        if (s.forget.Bind(1, it.num_iid).Bind(2, old).Step() != SQLITE_DONE)
            return error = Message(FDb), false;
    }
    s.put.Bind(1, it.num_iid)
        .Bind(2, it.title)
        .Bind(3, it.nick)
        .Bind(4, it.priceCents)
        .Bind(5, it.cid)
        .Bind(6, it.sellerId)
        .Bind(7, it.credit)
        .Bind(8, it.guarantee ? 1 : 0)
        .Bind(9, it.location)
        .Bind(10, it.volume)
        .Bind(11, it.commissionCents)
        .Bind(12, it.commissionRateBp)
        .Bind(13, it.commissionNum)
        .Bind(14, it.commissionVolumeCents)
        .Bind(15, it.picUrl)
        .Bind(16, it.clickUrl)
        .Bind(17, it.shopClickUrl);
    if (s.put.Step() != SQLITE_DONE) return error = Message(FDb), false;
    if (s.index.Bind(1, it.num_iid).Bind(2, it.title).Step() != SQLITE_DONE)
        return error = Message(FDb), false;
    return true;
}

bool CatalogueStore::Save(const Catalogue& catalogue, std::string& error) {
    if (!Begin(error)) return false;
    auto fail = [&] { return Rollback(), false; };
    for (const Category& c : catalogue.Categories()) {
        Statement& add = FStatements->addCategoryOrdered;
        if (add.Bind(1, c.cid).Bind(2, c.parent_cid).Bind(3, c.name).Bind(4, c.sort_order).Step() !=
            SQLITE_DONE)
            return error = Message(FDb), fail();
    }
    std::vector<bool> sellerSeen;
    for (const Item& it : catalogue.Items()) {
        if (it.sellerId >= static_cast<int>(sellerSeen.size()))
            sellerSeen.resize(static_cast<size_t>(it.sellerId) + 1);
        if (!sellerSeen[static_cast<size_t>(it.sellerId)]) {
            sellerSeen[static_cast<size_t>(it.sellerId)] = true;
            if (FStatements->addSeller.Bind(1, it.sellerId).Bind(2, it.nick).Step() != SQLITE_DONE)
                return error = Message(FDb), fail();
        }
        if (!Put(it, error)) return fail();
    }
    return Commit(error);
}

bool CatalogueStore::Load(Catalogue& catalogue, std::string& error) const {
    std::lock_guard lock(FMutex);
    catalogue = Catalogue();
    Statement cats(FDb, "SELECT cid, parent_cid, name, sort_order FROM category ORDER BY cid");
    if (!cats) return error = Message(FDb), false;
    int rc;
    while ((rc = cats.Step()) == SQLITE_ROW)
        catalogue.AddCategory(static_cast<int>(cats.Int(0)), static_cast<int>(cats.Int(1)),
                              cats.Str(2), static_cast<int>(cats.Int(3)));
    if (rc != SQLITE_DONE) return error = Message(FDb), false;
    Statement items(FDb,
                    "SELECT num_iid, title, nick, price_cents, cid, seller_id, credit, guarantee, "
                    "location, volume, commission_cents, commission_rate_bp, commission_num, "
                    "commission_volume_cents, pic_url, click_url, shop_click_url FROM item "
                    "ORDER BY num_iid");
    if (!items) return error = Message(FDb), false;
    while ((rc = items.Step()) == SQLITE_ROW) {
        Item it;
        it.num_iid = items.Int(0);
        it.title = items.Str(1);
        it.nick = items.Str(2);
        it.priceCents = items.Int(3);
        it.cid = static_cast<int>(items.Int(4));
        it.sellerId = static_cast<int>(items.Int(5));
        it.credit = static_cast<int>(items.Int(6));
        it.guarantee = items.Int(7) != 0;
        it.location = items.Str(8);
        it.volume = items.Int(9);
        it.commissionCents = items.Int(10);
        it.commissionRateBp = items.Int(11);
        it.commissionNum = items.Int(12);
        it.commissionVolumeCents = items.Int(13);
        it.picUrl = items.Str(14);
        it.clickUrl = items.Str(15);
        it.shopClickUrl = items.Str(16);
        catalogue.AddItem(std::move(it));
    }
    if (rc != SQLITE_DONE) return error = Message(FDb), false;
    return catalogue.Finish(error);
}

bool CatalogueStore::TitleCandidates(const std::vector<std::string>& words,
                                     std::vector<int64_t>& ids) const {
    std::string match;
    for (const std::string& w : words) {
        if (CharacterCount(w) < 3) continue;
        std::string quoted = "\"";
        for (char c : w) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        match += (match.empty() ? "" : " AND ") + quoted + "\"";
    }
    ids.clear();
    if (match.empty()) return false;
    std::lock_guard lock(FMutex);
    Statement q(FDb, "SELECT rowid FROM item_title WHERE item_title MATCH ? ORDER BY rowid");
    if (!q) return false;
    q.Bind(1, match);
    while (q.Step() == SQLITE_ROW) ids.push_back(q.Int(0));
    return true;
}
