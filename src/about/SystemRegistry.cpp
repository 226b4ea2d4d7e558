#include "about/SystemRegistry.h"

#include "about/NullRegistry.h"
#include "about/WinRegistry.h"

std::unique_ptr<Registry> MakeSystemRegistry()
{
#ifdef Q_OS_WIN
    return std::make_unique<WinRegistry>();
#else
    return std::make_unique<NullRegistry>();
#endif
}
