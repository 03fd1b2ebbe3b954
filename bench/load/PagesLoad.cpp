// Browser pages polling "consolestatus.xml" and "playlist.xml", each with its
// own id, while editors add, delete and move play-list entries. Every answer
// must arrive and parse; once the edits stop, every page's view (the list of
// its last "dirty" document) must be the player's final play list.
#include "bench/load/LoadServer.h"
#include "library/LibraryText.h"
#include "tests/support/TempDir.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>

namespace lyrebox::load {
namespace {

struct Counters {
    std::atomic<long> requests{0}, failed{0}, malformed{0};
};

std::string text(xmlNodePtr node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string out = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return out;
}

// Parses an answer; for the play list, fills files when the document is dirty.
bool parse(const std::string& body, const char* root, bool& dirty, std::vector<std::string>& files) {
    xmlDocPtr doc = xmlReadMemory(body.data(), static_cast<int>(body.size()), "answer.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc) return false;
    xmlNodePtr top = xmlDocGetRootElement(doc);
    bool ok = top && xmlStrcmp(top->name, reinterpret_cast<const xmlChar*>(root)) == 0;
    dirty = false;
    if (ok && std::string(root) == "playlist") {
        xmlChar* attr = xmlGetProp(top, reinterpret_cast<const xmlChar*>("dirty"));
        dirty = attr && xmlStrcmp(attr, reinterpret_cast<const xmlChar*>("1")) == 0;
        xmlFree(attr);
        if (dirty) {
            files.clear();
            for (xmlNodePtr track = top->children; track; track = track->next) {
                if (track->type != XML_ELEMENT_NODE) continue;
                for (xmlNodePtr field = track->children; field; field = field->next)
                    if (field->type == XML_ELEMENT_NODE &&
                        xmlStrcmp(field->name, reinterpret_cast<const xmlChar*>("filename")) == 0)
                        files.push_back(text(field));
            }
        }
    }
    xmlFreeDoc(doc);
    return ok;
}

class Page {
public:
    Page(std::uint16_t port, int id) : client_(port), id_("page" + std::to_string(id)) {}

    void poll(Counters& counters) {
        test::Answer answer;
        bool dirty = false;
        std::vector<std::string> scratch;
        counters.requests += 2;
        if (!client_.request("/consolestatus.xml", answer) || answer.status != 200) {
            ++counters.failed;
        } else if (!parse(answer.body, "console", dirty, scratch)) {
            ++counters.malformed;
        }
        if (!client_.request("/playlist.xml?id=" + id_, answer) || answer.status != 200) {
            ++counters.failed;
        } else if (!parse(answer.body, "playlist", dirty, view_)) {
            ++counters.malformed;
        }
    }
    const std::vector<std::string>& view() const { return view_; }

private:
    Client client_;
    std::string id_;
    std::vector<std::string> view_;
};

void edit(std::uint16_t port, const std::vector<std::string>& files, unsigned seed, const std::atomic<bool>& stop,
          Counters& counters, std::atomic<long>& edits) {
    Client client(port);
    std::mt19937 random(seed);
    test::Answer answer;
    while (!stop) {
        int length = 0;
        ++counters.requests;
        if (!client.request("/getplaylistlength", answer) || answer.status != 200) {
            ++counters.failed;
            continue;
        }
        length = std::atoi(answer.body.c_str());
        std::string target;
        const unsigned choice = random() % 3;
        if (length < 10 || (choice == 0 && length < 80)) {
            const auto& file = files[random() % files.size()];
            target = "/enqueuefile?title=t&filename=" + percentEncode(file);
        } else if (choice == 1) {
            target = "/deleteplaylistitem?index=" + std::to_string(random() % length);
        } else {
            target = "/moveplaylistitem?from=" + std::to_string(random() % length) +
                     "&to=" + std::to_string(random() % length);
        }
        ++counters.requests;
        if (!client.request(target, answer) || answer.status != 200) ++counters.failed;
        ++edits;
    }
}

}  // namespace

int runPages(double seconds, int pages) {
    test::TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 20; ++i) files.push_back(dir.write("music/track " + std::to_string(i) + ".mp3"));
    LoadServer server(dir.file("load.ini"), {dir.file("music")});
    if (!server.started()) {
        std::cerr << "server did not start\n";
        return 1;
    }
    Counters counters;
    std::atomic<long> edits{0};
    std::atomic<bool> stopEdits{false}, stopPages{false};
    std::vector<std::unique_ptr<Page>> views;
    for (int i = 0; i < pages; ++i) views.push_back(std::make_unique<Page>(server.port(), i));

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> pageThreads, editors;
    for (auto& page : views)
        pageThreads.emplace_back([&, p = page.get()] {
            while (!stopPages) p->poll(counters);
        });
    for (unsigned e = 0; e < 4; ++e)
        editors.emplace_back([&, e] { edit(server.port(), files, e + 1, stopEdits, counters, edits); });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stopEdits = true;
    for (auto& t : editors) t.join();
    stopPages = true;
    for (auto& t : pageThreads) t.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // One more poll each, after the last edit.
    for (auto& page : views) page->poll(counters);
    std::vector<std::string> final;
    server.player.with([&](Player& p) {
        for (std::size_t i = 0; i < p.playList().size(); ++i) final.push_back(p.playList().at(i)->fileName);
    });
    int stale = 0;
    for (auto& page : views) stale += page->view() != final;

    std::printf("pages: %d pages, 4 editors, %.1f s: %ld requests (%.0f/s), %ld edits, final list %zu entries\n",
                pages, elapsed, counters.requests.load(), counters.requests / elapsed, edits.load(), final.size());
    std::printf("pages: failed %ld, malformed %ld, pages without the final list %d\n", counters.failed.load(),
                counters.malformed.load(), stale);
    return counters.failed == 0 && counters.malformed == 0 && stale == 0 && edits > 0 ? 0 : 1;
}

}  // namespace lyrebox::load
