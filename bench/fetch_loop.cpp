// The crawl's lower bound: fetches a list of scheme-less URLs (host/path, one per line on stdin)
// one after another with the request the scan sends, over one kept-alive connection per host as
// the scan does: each answer is read as its Content-Length frames it (or up to the close when it
// names none, and then the next page opens a new connection). Prints the pages fetched and the
// seconds taken.
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <netdb.h>
#include <string>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

int connectTo(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), "80", &hints, &res) != 0)
        return -1;
    int fd = socket(res->ai_family, res->ai_socktype, res->ai_protocol);
    if (fd >= 0 && connect(fd, res->ai_addr, res->ai_addrlen) != 0) {
        close(fd);
        fd = -1;
    }
    freeaddrinfo(res);
    return fd;
}

// Reads one answer; returns false when it could not, and sets keep when the connection may carry
// the next request.
bool readAnswer(int fd, std::vector<char>& buffer, bool& keep)
{
    std::string head;
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            return false;
        head.append(buffer.data(), std::size_t(n));
        headEnd = head.find("\r\n\r\n");
    }
    long long length = -1;
    keep = true;
    for (std::size_t at = head.find("\r\n"); at < headEnd; at = head.find("\r\n", at + 2)) {
        const char* line = head.c_str() + at + 2;
        if (strncasecmp(line, "Content-Length:", 15) == 0)
            length = std::atoll(line + 15);
        else if (strncasecmp(line, "Connection: close", 17) == 0)
            keep = false;
    }
    long long have = static_cast<long long>(head.size() - headEnd - 4);
    if (length < 0) {
        keep = false;
        while (recv(fd, buffer.data(), buffer.size(), 0) > 0) {}
        return true;
    }
    while (have < length) {
        const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            return false;
        have += n;
    }
    return true;
}

} // namespace

int main()
{
    std::vector<std::string> urls;
    for (std::string line; std::getline(std::cin, line);)
        if (!line.empty())
            urls.push_back(line);
    const auto start = std::chrono::steady_clock::now();
    std::size_t fetched = 0;
    std::vector<char> buffer(1 << 16);
    int fd = -1;
    std::string connectedHost;
    for (const std::string& url : urls) {
        const auto slash = url.find('/');
        const std::string host = url.substr(0, slash);
        const std::string path = slash == std::string::npos ? "/" : url.substr(slash);
        if (fd >= 0 && host != connectedHost) {
            close(fd);
            fd = -1;
        }
        if (fd < 0) {
            fd = connectTo(host);
            connectedHost = host;
            if (fd < 0)
                continue;
        }
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: " + host
            + "\r\nConnection: keep-alive\r\nAccept: */*\r\n\r\n";
        bool keep = false;
        if (send(fd, request.data(), request.size(), 0) == ssize_t(request.size())
            && readAnswer(fd, buffer, keep))
            ++fetched;
        if (!keep) {
            close(fd);
            fd = -1;
        }
    }
    if (fd >= 0)
        close(fd);
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu %.6f\n", fetched, seconds);
    return 0;
}
