#pragma once
// The registry of the system the program runs on: the Windows registry on
// Windows, elsewhere a registry with no values.
#include "about/Registry.h"

#include <memory>

std::unique_ptr<Registry> MakeSystemRegistry();
