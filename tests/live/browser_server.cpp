// The live server for the browser test (live_browser.py): prints its port, then takes commands
// on its input, one a line: "work <id> <content type>" makes a work live, "page <id> <file>"
// publishes the file's bytes as the work's new page. Ends at the end of its input.
#include "live/LiveServer.h"
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

int main() {
    using namespace kw::live;
    TLiveServer server;
    TLiveOptions options;
    options.Port = 0;
    const kw::net::TNetStatus s = server.Start(options);
    if (!s.ok()) {
        std::cerr << "cannot listen: " << s.Text << "\n";
        return 1;
    }
    std::cout << "port " << server.Port() << std::endl;
    std::vector<TLiveWork> works;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command, id, rest;
        in >> command >> id;
        std::getline(in >> std::ws, rest);
        if (command == "work") {
            works.push_back({id, rest});
            server.SetWorks(works);
        } else if (command == "page") {
            std::ifstream file(rest, std::ios::binary);
            std::stringstream bytes;
            bytes << file.rdbuf();
            server.PublishPage(id, std::make_shared<const std::string>(bytes.str()));
        }
        std::cout << "ok" << std::endl;
    }
    server.Stop();
    return 0;
}
