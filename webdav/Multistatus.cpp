#include "webdav/Multistatus.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "webdav/Urn.h"

namespace WebDAV {
namespace Multistatus {
namespace {

const char* const dav = "DAV:";

const char* local_name(const pugi::xml_node& node) {
    const char* colon = std::strchr(node.name(), ':');
    return colon ? colon + 1 : node.name();
}

// The namespace the element's prefix (or the default namespace) is bound to,
// by the nearest declaration on the element or its ancestors.
std::string namespace_of(const pugi::xml_node& node) {
    const std::string name = node.name();
    const std::string::size_type colon = name.find(':');
    const std::string declaration =
        colon == std::string::npos ? "xmlns" : "xmlns:" + name.substr(0, colon);
    for (pugi::xml_node at = node; at; at = at.parent())
        if (const pugi::xml_attribute bound = at.attribute(declaration.c_str()))
            return bound.value();
    return std::string();
}

bool is_dav(const pugi::xml_node& node, const char* local) {
    return node.type() == pugi::node_element && std::strcmp(local_name(node), local) == 0 &&
           namespace_of(node) == dav;
}

// The first child element `local` of the DAV: namespace; empty when there is none.
pugi::xml_node dav_child(const pugi::xml_node& parent, const char* local) {
    for (const pugi::xml_node& child : parent.children())
        if (is_dav(child, local))
            return child;
    return pugi::xml_node();
}

// Calls `visit` with every DAV: child element `local` of `parent`.
void each_dav_child(const pugi::xml_node& parent, const char* local,
                    const std::function<void(const pugi::xml_node&)>& visit) {
    for (const pugi::xml_node& child : parent.children())
        if (is_dav(child, local))
            visit(child);
}

// Calls `visit` with every response of a multistatus answer.
void each_response(const std::string& body,
                   const std::function<void(const pugi::xml_node&)>& visit) {
    pugi::xml_document document;
    if (!document.load_buffer(body.data(), body.size()))
        return;
    const pugi::xml_node root = document.document_element();
    if (is_dav(root, "multistatus"))
        each_dav_child(root, "response", visit);
}

// Calls `visit` with the prop element of every successful propstat of a
// response (a propstat without a status counts as successful).
void each_found_prop(const pugi::xml_node& response,
                     const std::function<void(const pugi::xml_node&)>& visit) {
    each_dav_child(response, "propstat", [&](const pugi::xml_node& propstat) {
        // "HTTP/1.1 200 OK"
        const pugi::xml_node status = dav_child(propstat, "status");
        const std::string line = status.child_value();
        const std::string::size_type code = line.find(' ');
        if (status && (code == std::string::npos || line.compare(code + 1, 1, "2") != 0))
            return;
        each_dav_child(propstat, "prop", visit);
    });
}

// The path a response is about: its href unescaped, a full URL cut to its path.
Urn href_path(const pugi::xml_node& response) {
    std::string href = unescape(nullptr, dav_child(response, "href").child_value());
    const std::string::size_type scheme = href.find("://");
    if (scheme != std::string::npos && href.find('/') == scheme + 1) {
        const std::string::size_type path = href.find('/', scheme + 3);
        href = path == std::string::npos ? std::string() : href.substr(path);
    }
    return Urn(href, false);
}

// Two paths name the same resource, with or without a trailing "/".
bool same_resource(const Urn& one, const Urn& other) {
    return Urn(one.path(), true).path() == Urn(other.path(), true).path();
}

// "1234" → 1234; anything but decimal digits (after blanks) → 0.
unsigned long long decimal(const char* text) {
    text += std::strspn(text, " \t\r\n");
    if (*text < '0' || *text > '9')
        return 0;
    return std::strtoull(text, nullptr, 10);
}

} // namespace

strings_t names(const std::string& body, const std::string& directory) {
    const Urn listed(directory, true);
    strings_t entries;
    each_response(body, [&](const pugi::xml_node& response) {
        const Urn entry = href_path(response);
        if (!same_resource(entry, listed))
            entries.push_back(entry.name());
    });
    return entries;
}

dict_t properties(const std::string& body, const std::string& resource) {
    const Urn wanted(resource, false);
    dict_t found;
    each_response(body, [&](const pugi::xml_node& response) {
        if (!found.empty() || !same_resource(href_path(response), wanted))
            return;
        found = {{"created", ""}, {"name", ""}, {"size", ""}, {"modified", ""}, {"type", ""}};
        each_found_prop(response, [&](const pugi::xml_node& prop) {
            const std::pair<const char*, const char*> texts[] = {{"created", "creationdate"},
                                                                 {"name", "displayname"},
                                                                 {"size", "getcontentlength"},
                                                                 {"modified", "getlastmodified"}};
            for (const auto& text : texts)
                if (const pugi::xml_node value = dav_child(prop, text.second))
                    found[text.first] = value.child_value();
            if (const pugi::xml_node type = dav_child(prop, "resourcetype")) {
                const pugi::xml_node first = type.find_child(
                    [](const pugi::xml_node& child) { return child.type() == pugi::node_element; });
                if (first)
                    found["type"] = namespace_of(first) == dav
                                        ? std::string("d:") + local_name(first)
                                        : std::string(first.name());
            }
        });
    });
    return found;
}

unsigned long long quota_available(const std::string& body) {
    unsigned long long available = 0;
    bool seen = false;
    each_response(body, [&](const pugi::xml_node& response) {
        each_found_prop(response, [&](const pugi::xml_node& prop) {
            const pugi::xml_node quota = dav_child(prop, "quota-available-bytes");
            if (quota && !seen) {
                available = decimal(quota.child_value());
                seen = true;
            }
        });
    });
    return available;
}

} // namespace Multistatus
} // namespace WebDAV
