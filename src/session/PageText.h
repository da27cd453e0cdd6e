#pragma once
// Service text as it may appear in a result page. Whatever answers at the service address can
// put anything into a reply, so nothing it sends becomes markup, script or an address of its
// choosing: titles keep only the keyword highlight, other texts are text, addresses are http or
// https and stay inside their attribute, numbers are digits. The service's own replies already
// come as HTML text (character references, the highlight element), and those pass byte for byte.

#include <string_view>

#include "Text.h"

// Where a link or picture goes when the service's address is not one the page may use: it
// names nothing, so a click opens nothing and no picture is fetched.
inline constexpr const char* kInertAddress = "about:invalid";

// A title: the highlight element around a word (<span class=h>, also with the class quoted)
// and its </span> pass; every other character is text.
Text PageTitle(std::string_view title);
// A nick, a region: text only.
Text PageText(std::string_view text);
// An http or https address, with every character that could end a quoted attribute or start
// markup percent-encoded; anything else (javascript:, data:, relative, over-long) is inert.
Text PageAddress(std::string_view address);
// Digits, with a decimal part when fraction allows one; anything else shows nothing.
Text PageNumber(std::string_view number, bool fraction);
