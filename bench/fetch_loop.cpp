// The crawl's lower bound: fetches a list of scheme-less URLs (host/path, one per line on stdin)
// one after another, a new connection each, with the same request the scan sends, reading each
// response until the server closes. Prints the pages fetched and the seconds taken.
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <netdb.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

int main()
{
    std::vector<std::string> urls;
    for (std::string line; std::getline(std::cin, line);)
        if (!line.empty())
            urls.push_back(line);
    const auto start = std::chrono::steady_clock::now();
    std::size_t fetched = 0;
    std::vector<char> buffer(1 << 16);
    for (const std::string& url : urls) {
        const auto slash = url.find('/');
        const std::string host = url.substr(0, slash);
        const std::string path = slash == std::string::npos ? "/" : url.substr(slash);
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* res = nullptr;
        if (getaddrinfo(host.c_str(), "80", &hints, &res) != 0)
            continue;
        const int fd = socket(res->ai_family, res->ai_socktype, res->ai_protocol);
        if (fd >= 0 && connect(fd, res->ai_addr, res->ai_addrlen) == 0) {
            const std::string request = "GET " + path + " HTTP/1.1\r\nHost: " + host
                + "\r\nConnection: close\r\nAccept: */*\r\n\r\n";
            if (send(fd, request.data(), request.size(), 0) == ssize_t(request.size())) {
                while (recv(fd, buffer.data(), buffer.size(), 0) > 0) {}
                ++fetched;
            }
        }
        if (fd >= 0)
            close(fd);
        freeaddrinfo(res);
    }
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu %.6f\n", fetched, seconds);
    return 0;
}
