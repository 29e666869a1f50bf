// The application title: the caption of the gateway's own message boxes.
#pragma once

inline constexpr const char* HERALDO_TITLE = "Heraldo";
