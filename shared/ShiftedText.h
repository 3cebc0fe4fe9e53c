#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// The form in which the seven mail-setting texts are kept in the registry:
// every byte moved up by one fixed amount, so that the texts are not
// readable at a glance. The console, the monitor and the mailer all use
// this one pair of functions. It hides, it does not protect: the store's
// permissions keep the values from other users.
//
// A registry text ends at its first zero byte, so the one byte whose
// shifted value would be 0 cannot be kept as a single byte. That byte and
// the byte after it (the one that shifts to the escape byte 0x01) are both
// written as the escape byte followed by a code byte, 0x01 or 0x02. Both
// are bytes that never occur in UTF-8 text, so every UTF-8 text keeps its
// length and shifts byte for byte; any other text still comes back whole.
inline constexpr unsigned char kTextShift = 0x0B;

// The stored form of `plain`. Never contains a zero byte.
std::string ShiftText(std::string_view plain);

// The plain text of a stored form. A text stored by a plain byte-wise shift
// comes back as well, unless it holds the escape byte followed by 0x01 or 0x02.
std::string UnshiftText(std::string_view stored);

}  // namespace ostrel
