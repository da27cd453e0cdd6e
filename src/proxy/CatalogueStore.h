#pragma once
// The catalogue database: one SQLite file (or an in-memory database) holding the categories,
// the items and a trigram index of the titles.

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "Catalogue.h"

class CatalogueStore {
public:
    enum class Mode { ReadOnly, ReadWrite, CreateNew };
    // ":memory:" opens a private in-memory database. Null (with a one-line reason) for a file
    // that is missing, unreadable, not a database or not a catalogue.
    static std::unique_ptr<CatalogueStore> Open(const std::string& path, Mode mode,
                                                std::string& error);
    ~CatalogueStore();
    CatalogueStore(const CatalogueStore&) = delete;
    CatalogueStore& operator=(const CatalogueStore&) = delete;

    // Writes a whole generated catalogue into an empty store, in one transaction.
    bool Save(const Catalogue& catalogue, std::string& error);
    // Everything stored, ready to be served.
    bool Load(Catalogue& catalogue, std::string& error) const;
    // The items whose title holds every word (ASCII letters without case) among the ones of
    // three characters or more; the shorter words are left to the caller, as a trigram index
    // cannot look them up. Ascending num_iid. False when no word was long enough.
    bool TitleCandidates(const std::vector<std::string>& words, std::vector<int64_t>& ids) const;

    // The writing side of an import: rows go in one by one inside a transaction that Commit
    // makes durable and Rollback (or destruction without Commit) undoes entirely.
    bool Begin(std::string& error);
    // The category path's cid, created as needed; parts from the top level down.
    int CategoryOf(const std::vector<std::string>& path, std::string& error);
    // The seller of that nick, created as needed.
    int SellerOf(const std::string& nick, std::string& error);
    // Adds the item or replaces the stored one with the same num_iid (then sets *replaced).
    bool Put(const Item& item, std::string& error, bool* replaced = nullptr);
    bool Commit(std::string& error);
    void Rollback();

private:
    explicit CatalogueStore(sqlite3* db);
    bool Exec(const char* sql, std::string& error) const;
    bool CreateSchema(std::string& error);
    bool CheckSchema(std::string& error) const;

    sqlite3* FDb = nullptr;
    bool FInTransaction = false;
    // The next free ids while importing, and what has been looked up already.
    int FNextCid = 0, FNextSeller = 0;
    std::unordered_map<std::string, int> FCategoryIds, FSellerIds;
    struct Statements;
    std::unique_ptr<Statements> FStatements;
    // One connection serves every server thread's title lookups.
    mutable std::mutex FMutex;
};
