# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# The warnings every target of ours is built with, through the string table every library links
# (tools that link nothing of ours take it themselves). Qt's keywords are off: signals and slots
# are written Q_SIGNALS, Q_SLOTS and Q_EMIT, which no other library's names can clash with. Where
# CI builds the program as shipped, a warning fails the build; the sanitizers' builds, which
# optimise differently and warn differently, only warn.
add_library(tunebr_warnings INTERFACE)
target_compile_options(tunebr_warnings INTERFACE
    -Wall -Wextra -Wshadow -Wmissing-declarations
    $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast -Wnon-virtual-dtor>)
target_compile_definitions(tunebr_warnings INTERFACE QT_NO_KEYWORDS)
if(DEFINED ENV{CI} AND NOT TUNEBR_SANITIZE AND NOT TUNEBR_SANITIZE_THREAD)
    target_compile_options(tunebr_warnings INTERFACE -Werror)
endif()

# The window's layers never turn a C string into a QString unseen, which would guess its
# encoding: each text says what it is (QStringLiteral, LoadQString, ToQString). Tests and tools
# make their texts freely.
add_library(tunebr_explicit_texts INTERFACE)
target_compile_definitions(tunebr_explicit_texts INTERFACE QT_NO_CAST_FROM_ASCII)
