#pragma once
// A strict reader of the XML the plot writes (UTF-8, elements, double-quoted attributes,
// text, the five predefined entities, a prolog): enough to prove the SVG well formed and
// to look inside it.

#include <cctype>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zk::test {

struct XmlNode {
    std::string name;
    std::map<std::string, std::string> attrs;
    std::vector<XmlNode> children;
    std::string text;

    // Every element below this one (itself excluded) with that name, in document order.
    void collect(std::string_view tag, std::vector<const XmlNode*>& out) const {
        for (const XmlNode& c : children) {
            if (c.name == tag) out.push_back(&c);
            c.collect(tag, out);
        }
    }
};

class XmlReader {
public:
    explicit XmlReader(std::string_view text) : s_(text) {}

    // False with error set when the text is not one well-formed element.
    bool read(XmlNode& root, std::string& error) {
        if (!characters(error)) return false;
        skipSpace();
        if (s_.substr(p_, 5) == "<?xml") {
            const auto end = s_.find("?>", p_);
            if (end == std::string_view::npos) return fail(error, "prolog not closed");
            p_ = end + 2;
        }
        skipSpace();
        if (!element(root, error)) return false;
        skipSpace();
        return p_ == s_.size() || fail(error, "text after the root element");
    }

private:
    // Every character is UTF-8 and one XML allows: no control characters but tab, LF and
    // CR, no surrogates, no U+FFFE or U+FFFF, no overlong forms.
    bool characters(std::string& error) {
        static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        for (p_ = 0; p_ < s_.size();) {
            const auto b = static_cast<unsigned char>(s_[p_]);
            const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
            if (n == 0 || p_ + n > s_.size()) return fail(error, "not UTF-8");
            char32_t cp = n == 1 ? b : b & (0x7F >> n);
            for (std::size_t k = 1; k < n; ++k) {
                if ((static_cast<unsigned char>(s_[p_ + k]) & 0xC0) != 0x80) return fail(error, "not UTF-8");
                cp = (cp << 6) | (static_cast<unsigned char>(s_[p_ + k]) & 0x3F);
            }
            if ((cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp < least[n] || cp > 0x10FFFF ||
                (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
                return fail(error, "a character XML does not allow");
            p_ += n;
        }
        p_ = 0;
        return true;
    }
    bool fail(std::string& error, const std::string& what) {
        error = what + " at offset " + std::to_string(p_);
        return false;
    }
    void skipSpace() {
        while (p_ < s_.size() && std::string_view(" \t\r\n").find(s_[p_]) != std::string_view::npos) ++p_;
    }
    std::string name() {
        const std::size_t start = p_;
        while (p_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p_])) || s_[p_] == '-' ||
                                  s_[p_] == ':' || s_[p_] == '_'))
            ++p_;
        return std::string(s_.substr(start, p_ - start));
    }
    bool decode(std::string_view raw, std::string& out, std::string& error) {
        static const std::pair<std::string_view, char> entities[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<') return fail(error, "'<' in text");
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            bool known = false;
            for (const auto& [entity, c] : entities) {
                if (raw.substr(i, entity.size()) == entity) {
                    out += c;
                    i += entity.size() - 1;
                    known = true;
                    break;
                }
            }
            if (!known) return fail(error, "unknown entity");
        }
        return true;
    }
    bool element(XmlNode& node, std::string& error) {
        if (p_ >= s_.size() || s_[p_] != '<') return fail(error, "element expected");
        ++p_;
        node.name = name();
        if (node.name.empty()) return fail(error, "element name expected");
        for (;;) {
            skipSpace();
            if (s_.substr(p_, 2) == "/>") {
                p_ += 2;
                return true;
            }
            if (p_ < s_.size() && s_[p_] == '>') break;
            const std::string key = name();
            if (key.empty() || s_.substr(p_, 2) != "=\"") return fail(error, "attribute expected");
            p_ += 2;
            const auto end = s_.find('"', p_);
            if (end == std::string_view::npos) return fail(error, "attribute not closed");
            if (node.attrs.count(key)) return fail(error, "attribute repeated");
            if (!decode(s_.substr(p_, end - p_), node.attrs[key], error)) return false;
            p_ = end + 1;
        }
        ++p_;
        for (;;) {
            const auto lt = s_.find('<', p_);
            if (lt == std::string_view::npos) return fail(error, "element not closed: " + node.name);
            if (!decode(s_.substr(p_, lt - p_), node.text, error)) return false;
            p_ = lt;
            if (s_.substr(p_, 2) == "</") {
                p_ += 2;
                if (name() != node.name || p_ >= s_.size() || s_[p_] != '>')
                    return fail(error, "mismatched end of " + node.name);
                ++p_;
                return true;
            }
            node.children.emplace_back();
            if (!element(node.children.back(), error)) return false;
        }
    }

    std::string_view s_;
    std::size_t p_ = 0;
};

}  // namespace zk::test
