#include "PagePolicy.h"

#include <cctype>
#include <set>
#include <string_view>

#include "Digest.h"
#include "ResultPage.h"

namespace {

// The text of every inline script and every event handler attribute of a page the program
// builds. The pages are made of fixed literals, so a full page of each layout holds them all.
void CollectScripts(const Text& page, std::set<std::string>& scripts) {
    for (size_t at = page.find("<script"); at != Text::npos; at = page.find("<script", at)) {
        size_t open = page.find('>', at);
        size_t close = page.find("</script>", open);
        if (open == Text::npos || close == Text::npos) break;
        scripts.insert(page.substr(open + 1, close - open - 1));
        at = close;
    }
    for (size_t at = page.find(" on"); at != Text::npos; at = page.find(" on", at + 1)) {
        size_t eq = page.find("=\"", at);
        size_t name = at + 3;
        while (name < page.size() && std::isalpha(static_cast<unsigned char>(page[name]))) ++name;
        if (eq != name) continue;
        size_t end = page.find('"', eq + 2);
        if (end == Text::npos) break;
        scripts.insert(page.substr(eq + 2, end - eq - 2));
    }
}

Text MakePolicy() {
    TAB full;
    for (auto& item : full.Items) {
        item.title.assign(1, 't');
        item.click_url = "http://x/";
    }
    std::set<std::string> scripts;
    for (int view : {0, 1}) {
        full.ViewIndex = view;
        CollectScripts(BuildPage(full), scripts);
    }
    Text hashes;
    for (const std::string& script : scripts) {
        Sha256 digest;
        digest.Add(script);
        hashes += " 'sha256-" + Base64(digest.Bytes()) + "'";
    }
    return "default-src 'none'; script-src 'unsafe-hashes'" + hashes +
           "; style-src 'unsafe-inline'; img-src http: https:; base-uri 'none'; "
           "form-action 'none'";
}

}  // namespace

const Text& PagePolicy() {
    static const Text policy = MakePolicy();
    return policy;
}

Text WithPagePolicy(const Text& html) {
    static const Text meta =
        "<meta http-equiv=\"Content-Security-Policy\" content=\"" + PagePolicy() + "\" />";
    const std::string_view head = "<head>";
    if (std::string_view(html).substr(0, head.size()) == head)
        return Text(head) + meta + html.substr(head.size());
    return "<head>" + meta + "</head>" + html;
}
