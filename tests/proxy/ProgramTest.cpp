// The quellot-proxy program itself: generating a catalogue file, serving it, and stopping on
// SIGTERM only after the requests in flight are answered.

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The program with its standard output on a pipe.
struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;
    explicit Program(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv{const_cast<char*>(QUELLOT_PROXY_PROGRAM)};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        out = fdopen(fds[0], "r");
    }
    std::string Line() {
        char buf[512];
        return out && std::fgets(buf, sizeof buf, out) ? std::string(buf) : std::string();
    }
    // The exit status, or -1 when it did not end normally.
    int Wait() {
        int status = 0;
        if (pid > 0) waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~Program() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
        if (out) fclose(out);
    }
};

size_t CountBytes(char*, size_t size, size_t n, void* total) {
    *static_cast<size_t*>(total) += size * n;
    return size * n;
}

}  // namespace

TEST(Program, ServesAGeneratedFileAndFinishesADownloadWhenTerminated) {
    std::string tmpl = (fs::temp_directory_path() / "quellot-prog-XXXXXX").string();
    const fs::path dir = mkdtemp(tmpl.data());
    const std::string db = (dir / "c.db").string(), package = (dir / "p.zip").string();
    {
        Program generate({"generate", "--items", "1000", "--seed", "4", "--catalogue", db});
        EXPECT_NE(generate.Line().find("1000 generated items"), std::string::npos);
        ASSERT_EQ(generate.Wait(), 0);
    }
    const size_t packageSize = 16u << 20;
    std::ofstream(package, std::ios::binary) << std::string(packageSize, 'z');

    Program serve(
        {"--catalogue", db, "--port", "0", "--update-package", package, "--offer-version", "v9"});
    std::string first = serve.Line();
    size_t at = first.find("http://");
    ASSERT_NE(at, std::string::npos) << first;
    std::string base = first.substr(at, first.find_last_not_of("\n") - at + 1);
    EXPECT_NE(first.find("1000 items"), std::string::npos) << first;

    // A download at 8 MB/s takes two seconds; the signal comes half a second in.
    size_t received = 0;
    long status = 0;
    std::thread download([&] {
        CURL* curl = curl_easy_init();
        std::string url = base + "update/Quellot.zip";
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CountBytes);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
        curl_easy_setopt(curl, CURLOPT_MAX_RECV_SPEED_LARGE, curl_off_t{8} << 20);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
        if (curl_easy_perform(curl) == CURLE_OK)
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_cleanup(curl);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(serve.pid, SIGTERM);
    download.join();
    EXPECT_EQ(status, 200);
    EXPECT_EQ(received, packageSize);
    std::string rest;
    for (std::string line; !(line = serve.Line()).empty();) rest += line;
    EXPECT_NE(rest.find("quellot-proxy: stopped"), std::string::npos) << rest;
    EXPECT_EQ(serve.Wait(), 0);
    fs::remove_all(dir);
}
