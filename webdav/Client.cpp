// The client's construction and its PROPFIND-based and resource operations.

#include "webdav/ClientImpl.h"

#include <pugixml.hpp>

#include <sstream>

#include "webdav/Callback.h"
#include "webdav/Multistatus.h"
#include "webdav/Request.h"

namespace WebDAV {

namespace {

// PROPFIND on a path on the server with the given extra settings; the answer's body into `answer`.
bool propfind(const ClientImpl& client, const Urn& resource, const char* depth,
              std::string& answer) {
    Request request(client.options(), client.limits(), TransferPolicy::Kind::Document,
                    client.report());
    Header header{"Accept: */*", std::string("Depth: ") + depth};
    std::vector<char> response;
    request.set(CURLOPT_CUSTOMREQUEST, "PROPFIND");
    request.set(CURLOPT_URL, client.url(request, resource).c_str());
    request.set(CURLOPT_HTTPHEADER, header.handle());
    request.receive(response);
    const bool done = request.perform();
    answer.assign(response.begin(), response.end());
    return done;
}

// A request without body on a path on the server: MKCOL, MOVE, COPY, DELETE.
// MOVE and COPY name their `target` (under the root) in a Destination header.
bool simple(const ClientImpl& client, const char* method, const Urn& resource, Header& header,
            const std::string& target = std::string()) {
    Request request(client.options(), client.limits(), TransferPolicy::Kind::Document,
                    client.report());
    // The server decodes the Destination like a request path: it is quoted the same way.
    if (!target.empty())
        header.append("Destination: " + client.resource(target).quote(request.handle()));
    std::vector<char> response;
    request.set(CURLOPT_CUSTOMREQUEST, method);
    request.set(CURLOPT_URL, client.url(request, resource).c_str());
    request.set(CURLOPT_HTTPHEADER, header.handle());
    request.receive(response);
    return request.perform();
}

// The quota request: the two quota properties of the server's root.
std::string quota_request() {
    pugi::xml_document document;
    pugi::xml_node propfind = document.append_child("D:propfind");
    propfind.append_attribute("xmlns:D") = "DAV:";
    pugi::xml_node prop = propfind.append_child("D:prop");
    prop.append_child("D:quota-available-bytes");
    prop.append_child("D:quota-used-bytes");
    std::ostringstream text;
    document.save(text, "\t", pugi::format_indent | pugi::format_no_declaration);
    return text.str();
}

} // namespace

Client* Client::Init(const dict_t& options, const Limits& limits) {
    return new ClientImpl(options, limits);
}

void Client::Cleanup() { curl_global_cleanup(); }

ClientImpl::ClientImpl(const dict_t& options, const Limits& limits)
    : connection(Connection::From(options)), transferLimits(limits) {
    init();
}

void ClientImpl::init() const { curl_global_init(CURL_GLOBAL_ALL); }

Outcome Client::outcome() const { return impl(*this).lastOutcome; }

Urn ClientImpl::resource(const std::string& path) const {
    return Urn(connection.root, true) + path;
}

std::string ClientImpl::url(const Request& request, const Urn& resource) const {
    return connection.hostname + resource.quote(request.handle());
}

bool Client::check(const std::string& path) const {
    std::string answer;
    return propfind(impl(*this), impl(*this).resource(path), "1", answer);
}

strings_t Client::list(const std::string& path) const {
    const std::string directory = Urn(path, true).path();
    std::string answer;
    const Urn listed = impl(*this).resource(directory);
    if (!check(directory) || !is_dir(directory) || !propfind(impl(*this), listed, "1", answer))
        return strings_t();
    return Multistatus::names(answer, listed.path());
}

dict_t Client::info(const std::string& path) const {
    const Urn resource = impl(*this).resource(path);
    std::string answer;
    if (!propfind(impl(*this), resource, "1", answer))
        return dict_t();
    return Multistatus::properties(answer, resource.path());
}

bool Client::is_dir(const std::string& path) const {
    const dict_t properties = info(path);
    const auto type = properties.find("type");
    return type != properties.end() && type->second == "d:collection";
}

bool Client::create_directory(const std::string& path, bool recursive) const {
    const Urn directory(path, true);
    if (check(directory.path()))
        return true;
    if (recursive) {
        // The root's parent is the root itself: when even the root is not
        // there, there is nothing left to create it in.
        if (directory.is_root() || !create_directory(directory.parent(), true))
            return false;
    }
    Header header{"Accept: */*", "Connection: Keep-Alive"};
    return simple(impl(*this), "MKCOL", impl(*this).resource(directory.path()), header);
}

namespace {
bool relocate(const Client& client, const char* method, const std::string& source,
              const std::string& target) {
    if (!client.check(source))
        return false;
    Header header{"Accept: */*"};
    return simple(impl(client), method, impl(client).resource(source), header, target);
}
} // namespace

bool Client::move(const std::string& source, const std::string& target) const {
    return relocate(*this, "MOVE", source, target);
}

bool Client::copy(const std::string& source, const std::string& target) const {
    return relocate(*this, "COPY", source, target);
}

bool Client::clean(const std::string& path) const {
    if (!check(path))
        return true;
    Header header{"Accept: */*", "Connection: Keep-Alive"};
    return simple(impl(*this), "DELETE", impl(*this).resource(path), header);
}

unsigned long long Client::free_size() const {
    const ClientImpl& client = impl(*this);
    Request request(client.options(), client.limits(), TransferPolicy::Kind::Document,
                    client.report());
    Header header{"Accept: */*", "Depth: 0", "Content-Type: text/xml"};
    const std::string body = quota_request();
    std::vector<char> response;
    request.set(CURLOPT_CUSTOMREQUEST, "PROPFIND");
    request.set(CURLOPT_HTTPHEADER, header.handle());
    request.set(CURLOPT_POSTFIELDS, body.c_str());
    request.set(CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    request.set(CURLOPT_HEADER, 0L);
    request.receive(response);
    if (!request.perform())
        return 0;
    return Multistatus::quota_available(std::string(response.begin(), response.end()));
}

} // namespace WebDAV
