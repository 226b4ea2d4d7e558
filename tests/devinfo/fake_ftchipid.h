#pragma once
// What the stand-in for the chip vendor's library answers; the test sets it.
#include <QByteArray>
#include <QList>
#ifndef FAKE_API
#define FAKE_API Q_DECL_IMPORT
#endif
struct FakeAdapter { int32_t descStatus; QByteArray desc; int32_t chipStatus, chipId; };  // desc: without its NUL
struct FakeScript { int32_t countStatus = 0; QList<FakeAdapter> adapters; };
FAKE_API FakeScript& FakeChipIdScript();
