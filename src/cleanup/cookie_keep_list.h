// The cookie keep-list: the hosts whose cookies a clean-up leaves alone,
// stored as the setting "UserCookies", each kept host name followed by one
// line feed. Shared by the cookie clean-up and the Customize Cookies dialog.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

// The host name of a cookie entry: its source URL name lower-cased, without
// everything up to and including the first "@", cut before the first "/".
// "Cookie:User@Example.COM/path" gives "example.com".
std::string CookieHostOf(std::string_view sourceUrlName);

// The lines of a keep-list text, split at carriage returns, line feeds or
// both; empty lines are dropped, so empty text is an empty list.
std::vector<std::string> KeepListLines(std::string_view text);

// Whether host is one of the kept names: the exact host, letter case ignored
// (a subdomain of a kept host is not kept).
bool IsKeptHost(const std::vector<std::string>& kept, std::string_view host);

// The text to store: each name followed by a line feed, in the given order.
std::string KeepListText(const std::vector<std::string>& kept);

}  // namespace sentrova
