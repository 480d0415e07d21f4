#pragma once

#include <QString>

// The one rule for every address that reaches the browser, a network fetch or the
// markup of a page: http and https with a host, nothing else.
//
// The address is taken tolerantly (a space, "|", "{", "}", "^", a backquote, "<", ">",
// a double quote or a stray "%" is escaped, not refused) and given back fully
// percent-encoded, so it can go into an attribute or onto the wire as it is.
// Empty when the address is refused.
QString webAddress(const QString& address);

// True when webAddress gives an address.
bool isWebAddress(const QString& address);

// The text to put between the double quotes of an href or src attribute: the
// encoded web address, or for anything else the text itself; HTML-escaped either way,
// so the attribute can never end early.
QString markupAddress(const QString& address);
