// The fleet service's status page: one HTML document with its style and
// script inline (no other assets), which fetches /api/cards every few
// seconds and redraws the cards that changed.
#pragma once

namespace patmon {

const char *StatusPageHtml();

}  // namespace patmon
