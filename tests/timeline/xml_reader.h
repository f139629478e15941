#pragma once
// A reader of the XML the plot writes, strict enough to prove it well formed (one root after
// the prolog, tags that balance, double-quoted attributes, no '<' or '&' in text or values
// but the five predefined entities) and to look inside it. Which bytes the texts hold is
// for the tests to compare exactly.

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zk::test {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attrs;
    std::string text;  // its own text, entities decoded
    int parent = -1;   // the index of the enclosing element; -1 for the root
    std::string attr(const std::string& key) const { return attrs.count(key) ? attrs.at(key) : ""; }
};

// raw with its entities decoded into out; false at a '<' or an '&' that starts none.
inline bool xmlDecode(std::string_view raw, std::string& out) {
    static const std::pair<std::string_view, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto e = std::find_if(std::begin(entities), std::end(entities),
                                    [&](const auto& entity) { return raw.substr(i).starts_with(entity.first); });
        if (raw[i] == '<' || (raw[i] == '&' && e == std::end(entities))) return false;
        out += raw[i] == '&' ? e->second : raw[i];
        i += raw[i] == '&' ? e->first.size() - 1 : 0;
    }
    return true;
}

// Every element in document order, or none with error set when the text is not well formed.
inline std::vector<XmlElement> readXml(std::string_view s, std::string& error) {
    const auto fail = [&](const char* what, std::size_t at) {
        error = std::string(what) + " at offset " + std::to_string(at);
        return std::vector<XmlElement>{};
    };
    const auto nameEnd = [](std::string_view tag, std::size_t from) {
        const std::size_t end =
            tag.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789:_-", from);
        return end == std::string_view::npos ? tag.size() : end;
    };
    std::vector<XmlElement> out;
    std::vector<int> open;  // the elements not yet ended, innermost last
    std::size_t p = s.starts_with("<?xml") ? s.find("?>") : std::string_view::npos;
    p = p == std::string_view::npos ? 0 : p + 2;
    for (;;) {
        const std::size_t lt = s.find('<', p);
        std::string text;
        if (!xmlDecode(s.substr(p, lt == std::string_view::npos ? lt : lt - p), text)) return fail("a stray '&'", p);
        if (open.empty() && text.find_first_not_of(" \t\r\n") != std::string::npos)
            return fail("text outside the root", p);
        if (!open.empty()) out[open.back()].text += text;
        if (lt == std::string_view::npos) break;
        const std::size_t gt = s.find('>', lt);
        if (gt == std::string_view::npos) return fail("a tag not closed", lt);
        std::string_view tag = s.substr(lt + 1, gt - lt - 1);
        p = gt + 1;
        if (tag.starts_with('/')) {
            if (open.empty() || out[open.back()].name != tag.substr(1))
                return fail("an end tag that does not match", lt);
            open.pop_back();
            continue;
        }
        if (open.empty() && !out.empty()) return fail("a second root", lt);
        const bool empty = tag.ends_with('/');
        if (empty) tag.remove_suffix(1);
        XmlElement e;
        e.parent = open.empty() ? -1 : open.back();
        e.name = tag.substr(0, nameEnd(tag, 0));
        if (e.name.empty()) return fail("an element without a name", lt);
        for (std::size_t q = e.name.size(); tag.find_first_not_of(" \t\r\n", q) != std::string_view::npos;) {
            const std::size_t key = tag.find_first_not_of(" \t\r\n", q), eq = nameEnd(tag, key);
            const std::size_t close = tag.find('"', eq + 2);
            const std::string name(tag.substr(key, eq - key));
            if (key == q || name.empty() || tag.substr(eq, 2) != "=\"" || close == std::string_view::npos ||
                e.attrs.count(name) || !xmlDecode(tag.substr(eq + 2, close - eq - 2), e.attrs[name]))
                return fail("an attribute that is not a new name=\"value\"", lt);
            q = close + 1;
        }
        out.push_back(std::move(e));
        if (!empty) open.push_back(static_cast<int>(out.size()) - 1);
    }
    if (out.empty() || !open.empty()) return fail("no root element, or one not ended", s.size());
    return out;
}

}  // namespace zk::test
