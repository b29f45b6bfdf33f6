// Measures download_resource against curl on the same loopback web server.
//   download_bench fetch URL FOLDER          one download (a fresh 200)
//   download_bench warm BASE FOLDER COUNT    small-<i>.jar for i < COUNT, all cached (304),
//                                            as one list
//   download_bench compare BASE WORK RUNS DATE
// compare runs the first two as child processes of its own, alternating with
// curl doing the same requests, and prints medians, ratios and peak memory.
#include "cache/download.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

// Natively the download's window calls land here: there is no window.
BOOL SetWindowTextA(HWND, const char*)
{
    return 1;
}

int ranges_set = 0;

LRESULT SendMessageA(HWND, UINT message, WPARAM, LPARAM)
{
    ranges_set += message == PBM_SETRANGE32;
    return 0;
}

int MessageBoxA(HWND, const char* text, const char*, UINT)
{
    fprintf(stderr, "download_bench: %s\n", text);
    return 1;
}

namespace {

struct Sample {
    double seconds;
    long peak_kib;
};

// Runs a program to its end; its wall time and peak resident memory. The
// files of the run before are written back first, so that their write-back
// does not land in this one.
Sample run(const std::vector<std::string>& args)
{
    sync();
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t child;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        fprintf(stderr, "download_bench: cannot start %s\n", argv[0]);
        exit(1);
    }
    int status = 0;
    struct rusage usage;
    wait4(child, &status, 0, &usage);
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "download_bench: %s failed\n", args[0].c_str());
        exit(1);
    }
    return {elapsed.count(), usage.ru_maxrss};
}

double median_seconds(std::vector<Sample> samples)
{
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    return samples[samples.size() / 2].seconds;
}

long peak(const std::vector<Sample>& samples)
{
    long most = 0;
    for (const Sample& sample : samples)
        most = std::max(most, sample.peak_kib);
    return most;
}

long long size_of(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

int fetch(const char* url, const char* folder)
{
    LaunchRequest request;
    memset(&request, 0, sizeof request);
    DownloadState state = {nullptr, &request, 0, nullptr, nullptr};
    int result = download_resource(url, folder, &state);
    download_state_release(&state);
    return result == 1 ? 0 : 1;
}

int warm(const std::string& base, const char* folder, int count)
{
    LaunchRequest request;
    memset(&request, 0, sizeof request);
    DownloadState state = {nullptr, &request, 0, nullptr, nullptr};
    std::vector<std::string> urls;
    std::vector<const char*> list;
    for (int i = 0; i < count; i++)
        urls.push_back(base + "/small-" + std::to_string(i) + ".jar");
    for (const std::string& url : urls)
        list.push_back(url.c_str());
    // As a launch asks: the list at once, its requests pipelined.
    int failures = download_resources(list.data(), count, folder, &state) != 0;
    // A host that failed would have answered every later file from the
    // cache without a request, and a 200 would have set the bar's range.
    failures += state.failed_host != nullptr || ranges_set != 0;
    download_state_release(&state);
    return failures == 0 ? 0 : 1;
}

// Fresh downloads of name, ours and curl's alternating; the files are
// removed before each run so every request is answered 200.
void compare_fetch(const std::string& self, const std::string& base, const std::string& work,
                   const std::string& name, int runs, std::vector<Sample>* ours,
                   std::vector<Sample>* curl)
{
    std::string our_folder = work + "/ours/";
    std::string curl_file = work + "/curl/" + name;
    std::string url = base + "/" + name;
    std::vector<std::string> our_args = {self, "fetch", url, our_folder};
    std::vector<std::string> curl_args = {"curl", "-s", "-f", "--http1.0", "-H",
                                          "Connection: close", "-o", curl_file, url};
    long long expected = size_of(work + "/www/" + name);
    for (int i = 0; i < runs; i++) {
        unlink((our_folder + name).c_str());
        unlink(curl_file.c_str());
        if (i % 2 == 0) {
            ours->push_back(run(our_args));
            curl->push_back(run(curl_args));
        } else {
            curl->push_back(run(curl_args));
            ours->push_back(run(our_args));
        }
        if (size_of(our_folder + name) != expected || size_of(curl_file) != expected) {
            fprintf(stderr, "download_bench: %s arrived incomplete\n", name.c_str());
            exit(1);
        }
    }
}

int compare(const std::string& self, const std::string& base, const std::string& work, int runs,
            const std::string& date)
{
    const int small_files = 50;
    std::vector<Sample> ours_big, curl_big, ours_mid, curl_mid;
    compare_fetch(self, base, work, "big.bin", runs, &ours_big, &curl_big);
    compare_fetch(self, base, work, "mid.bin", runs, &ours_mid, &curl_mid);

    // Warm: the small files are cached once, then every request is a 304.
    std::string warm_folder = work + "/warm/";
    for (int i = 0; i < small_files; i++) {
        std::string url = base + "/small-" + std::to_string(i) + ".jar";
        run({self, "fetch", url, warm_folder});
    }
    std::vector<std::string> our_warm = {self, "warm", base, warm_folder,
                                         std::to_string(small_files)};
    std::vector<std::string> curl_warm = {"curl", "-s", "-f", "--http1.0", "-H",
                                          "Connection: close", "-H", "If-Modified-Since: " + date};
    for (int i = 0; i < small_files; i++) {
        curl_warm.push_back("-o");
        curl_warm.push_back("/dev/null");
        curl_warm.push_back(base + "/small-" + std::to_string(i) + ".jar");
    }
    std::vector<Sample> ours_warm, curl_warm_samples;
    for (int i = 0; i < runs; i++) {
        if (i % 2 == 0) {
            ours_warm.push_back(run(our_warm));
            curl_warm_samples.push_back(run(curl_warm));
        } else {
            curl_warm_samples.push_back(run(curl_warm));
            ours_warm.push_back(run(our_warm));
        }
    }

    double big = static_cast<double>(size_of(work + "/www/big.bin")) / (1 << 20);
    double ours_time = median_seconds(ours_big), curl_time = median_seconds(curl_big);
    printf("natively:\n");
    printf("256 MiB fetch, median of %d: ours %.3f s (%.0f MiB/s), curl %.3f s (%.0f MiB/s)\n",
           runs, ours_time, big / ours_time, curl_time, big / curl_time);
    printf("  throughput ours / curl: %.2f (target >= 1.00)\n", curl_time / ours_time);
    double ours_w = median_seconds(ours_warm), curl_w = median_seconds(curl_warm_samples);
    printf("50 x 304, median of %d: ours %.1f ms, curl %.1f ms\n", runs, ours_w * 1000,
           curl_w * 1000);
    printf("  time ours / curl: %.2f (target <= 1.20)\n", ours_w / curl_w);
    printf("peak resident memory, 1 MiB / 256 MiB: ours %ld / %ld KiB (difference %ld KiB, "
           "target <= 2048), curl %ld / %ld KiB\n",
           peak(ours_mid), peak(ours_big), peak(ours_big) - peak(ours_mid), peak(curl_mid),
           peak(curl_big));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "fetch" && argc == 4)
        return fetch(argv[2], argv[3]);
    if (mode == "warm" && argc == 5)
        return warm(argv[2], argv[3], atoi(argv[4]));
    if (mode == "compare" && argc == 6)
        return compare(argv[0], argv[2], argv[3], atoi(argv[4]), argv[5]);
    fprintf(stderr,
            "usage: download_bench fetch URL FOLDER | warm BASE FOLDER COUNT |"
            " compare BASE WORK RUNS DATE\n");
    return 2;
}
