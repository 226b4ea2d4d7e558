#pragma once
// The application's title, as its windows, its message boxes and its version
// line show it.
inline constexpr char AppTitle[] = "qz Ruvude Zivo";
