// Finding title words, two characters long (手机, 连衣) as well as longer and ASCII, among the
// titles of a generated catalogue: SQLite FTS5 with its trigram tokenizer (plus the character
// index the proxy keeps for words shorter than three characters) against Xapian's CJK n-grams,
// and the proxy's search as it runs (each word's rarest character pair, the trigram index only
// where those lists are long). The first and last columns include checking every candidate and
// ordering the first page; Xapian's only fetches the matching ids.
// Prints build time and size of each index and, per kind of word, the latency of finding every
// matching item (an exact total needs all of them) and whether the count is the true one.
// Usage: keyword_index_bench [items, default 1000000]

#include <sqlite3.h>
#include <unistd.h>
#include <xapian.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CatalogueStore.h"
#include "ItemIndex.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

struct Word {
    const char* kind;
    const char* text;
};
const Word kWords[] = {
    {"2-char Chinese", "手机"},
    {"2-char Chinese", "连衣"},
    {"2-char Chinese", "新款"},
    {"2-char Chinese", "耳机"},
    {"2-char Chinese", "纯棉"},
    {"3+ Chinese", "连衣裙"},
    {"3+ Chinese", "蓝牙耳机"},
    {"3+ Chinese", "智能手机"},
    {"3+ Chinese", "雪纺连衣裙"},
    {"ASCII", "qq"},
    {"ASCII", "mp3"},
    {"ASCII", "usb"},
};

int64_t TrueCount(const Catalogue& cat, const std::string& word) {
    int64_t n = 0;
    for (const Item& it : cat.Items()) n += FindFolded(it.title, word, 0) != std::string::npos;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    int items = argc > 1 ? std::atoi(argv[1]) : 1000000;
    std::printf("%d generated titles\n", items);
    Catalogue cat(items, 1);

    // FTS5 trigram on its own, to see its build cost and size apart from the rest of the store.
    auto start = Clock::now();
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE VIRTUAL TABLE t USING fts5(title, tokenize='trigram'); BEGIN", nullptr,
                 nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t(rowid, title) VALUES(?, ?)", -1, &insert, nullptr);
    for (const Item& it : cat.Items()) {
        sqlite3_bind_int64(insert, 1, it.num_iid);
        sqlite3_bind_text(insert, 2, it.title.data(), static_cast<int>(it.title.size()),
                          SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    double ftsBuild = Ms(start);
    sqlite3_stmt* pages = nullptr;
    sqlite3_prepare_v2(db, "SELECT page_count * page_size FROM pragma_page_count, pragma_page_size",
                       -1, &pages, nullptr);
    sqlite3_step(pages);
    double ftsMb = static_cast<double>(sqlite3_column_int64(pages, 0)) / 1e6;
    sqlite3_finalize(pages);
    sqlite3_close(db);
    std::printf("FTS5 trigram: built in %.1f s, %.0f MB\n", ftsBuild / 1000, ftsMb);

    // The proxy's own arrangement: the store (trigram index inside) and the search indexes.
    std::string error;
    auto store = CatalogueStore::Open(":memory:", CatalogueStore::Mode::ReadOnly, error);
    if (!store || !store->Save(cat, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    start = Clock::now();
    ItemIndex index(cat, store.get());
    std::printf("proxy search indexes (character index included): built in %.1f s\n",
                Ms(start) / 1000);
    // FTS5 for every word of three characters or more, the character index for shorter ones.
    ItemIndex trigrams(cat, store.get(), 0);

    // Xapian, n-grams for CJK text, in a folder of its own.
    std::string tmpl = (fs::temp_directory_path() / "quellot-xapian-XXXXXX").string();
    fs::path folder = mkdtemp(tmpl.data());
    start = Clock::now();
    {
        Xapian::WritableDatabase xdb((folder / "db").string(), Xapian::DB_CREATE_OR_OVERWRITE);
        Xapian::TermGenerator terms;
        terms.set_flags(Xapian::TermGenerator::FLAG_CJK_NGRAM);
        xdb.begin_transaction(false);
        for (const Item& it : cat.Items()) {
            Xapian::Document doc;
            terms.set_document(doc);
            terms.index_text(it.title);
            xdb.add_document(doc);
        }
        xdb.commit_transaction();
    }
    double xapianBuild = Ms(start);
    uintmax_t xapianBytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) xapianBytes += entry.file_size();
    std::printf("Xapian CJK n-grams: built in %.1f s, %.0f MB\n", xapianBuild / 1000,
                static_cast<double>(xapianBytes) / 1e6);
    Xapian::Database xdb((folder / "db").string());
    Xapian::QueryParser parser;
    parser.set_database(xdb);

    std::printf("%-15s %-10s %8s | %-28s | %-28s | %s\n", "kind", "word", "true",
                "FTS5 trigram (chars under 3)", "Xapian CJK n-grams", "as served");
    const int kRuns = 20;
    for (const Word& w : kWords) {
        int64_t truth = TrueCount(cat, w.text);
        std::vector<double> ours, theirs, pairs;
        int64_t ourCount = 0, theirCount = 0;
        for (int run = 0; run < kRuns; ++run) {
            ItemQuery q;
            q.words = {w.text};
            auto t = Clock::now();
            ourCount = index.Search(q).total;
            ours.push_back(Ms(t));
            t = Clock::now();
            if (trigrams.Search(q).total != truth) std::printf("trigram path: wrong count\n");
            pairs.push_back(Ms(t));
            t = Clock::now();
            Xapian::Enquire enquire(xdb);
            enquire.set_query(parser.parse_query(
                w.text, Xapian::QueryParser::FLAG_DEFAULT | Xapian::QueryParser::FLAG_CJK_NGRAM));
            enquire.set_weighting_scheme(Xapian::BoolWeight());
            Xapian::MSet matches = enquire.get_mset(0, xdb.get_doccount());
            theirCount = 0;
            for (auto m = matches.begin(); m != matches.end(); ++m) theirCount += *m > 0;
            theirs.push_back(Ms(t));
        }
        std::printf(
            "%-15s %-10s %8lld | p50 %6.2f p95 %6.2f ms exact | p50 %6.2f p95 %6.2f ms %s | p50 "
            "%6.2f p95 %6.2f ms %s\n",
            w.kind, w.text, static_cast<long long>(truth), Percentile(pairs, 0.5),
            Percentile(pairs, 0.95), Percentile(theirs, 0.5), Percentile(theirs, 0.95),
            theirCount == truth ? "exact" : ("count " + std::to_string(theirCount)).c_str(),
            Percentile(ours, 0.5), Percentile(ours, 0.95), ourCount == truth ? "exact" : "WRONG");
    }
    fs::remove_all(folder);
    return 0;
}
