// Timed PUTs through the WebDAV client, each on a connection of its own:
//   webdav_put_bench <base URL> <local file> <count>
// stores the file <count> times as "/bench/put-<i>.bin" under the root
// "/SPOOL/" (login "kx", password "secret") and prints the seconds it took.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "webdav/Client.h"

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <base URL> <local file> <count>\n", argv[0]);
        return 2;
    }
    const std::unique_ptr<WebDAV::Client> client(
        WebDAV::Client::Init({{"webdav_hostname", argv[1]},
                              {"webdav_root", "/SPOOL/"},
                              {"webdav_login", "kx"},
                              {"webdav_password", "secret"}}));
    const int count = std::atoi(argv[3]);
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        if (!client->upload("/bench/put-" + std::to_string(i) + ".bin", argv[2])) {
            std::fprintf(stderr, "PUT %d failed\n", i);
            return 1;
        }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
    std::printf("%.4f\n", spent.count());
    return 0;
}
