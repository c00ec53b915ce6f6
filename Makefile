# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 Quillon Softs
# Two commands set everything up on a fresh Debian 12 machine: `make run` and `make test`.

PACKAGES := build-essential cmake pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools \
            qt6-tools-dev-tools qt6-svg-dev libglib2.0-dev libtag1-dev zlib1g-dev libboost-dev \
            shared-mime-info xvfb xauth xdotool \
            imagemagick libgtest-dev libgmock-dev libbenchmark-dev clang-format clang-14 \
            librsvg2-bin desktop-file-utils appstream lintian qt6-translations-l10n \
            openbox at-spi2-core python3-pyatspi locales dbus x11-utils
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 180
DEMO := $(BUILD)/demo-library
DEMO_FILES := 300
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)
SOURCES = $(shell git ls-files '*.cpp' '*.h' '*.c' 2>/dev/null)

.PHONY: deps configure build run test test-sanitize test-thread thread-safety fuzz format format-check demo

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    $(SUDO) apt-get update -q && \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	$(BUILD)/bench/make_library --seed 7 $(DEMO_FILES) $(DEMO)

# DIR=/path/to/music opens that folder; without it the demo library is generated and opened.
run: build
	@if [ -z "$(DIR)" ]; then $(MAKE) --no-print-directory demo; fi
	@folder="$(if $(DIR),$(DIR),$(DEMO))"; \
	if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    $(BUILD)/tunebrowse --list "$$folder"; \
	    echo "No desktop session (DISPLAY or WAYLAND_DISPLAY): printed the listing of $$folder instead of opening the window."; \
	else \
	    $(BUILD)/tunebrowse "$$folder"; \
	fi

# PREFIX=/usr/local by default; DESTDIR=/some/root stages the files instead of installing them.
PREFIX ?= /usr/local
.PHONY: install package
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/tunebrowse_VERSION_ARCH.deb: apt install ./$(BUILD)/tunebrowse_*.deb
package: build
	cd $(BUILD) && cpack -G DEB

# The whole suite twice: as built for use, then with AddressSanitizer and UBSan, where any report
# of any process (the tests start the real program too) fails the run; then the tests that run
# threads of ours once more, under ThreadSanitizer.
test: format-check thread-safety build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory test-sanitize
	@$(MAKE) --no-print-directory test-thread

# Built with lighter optimisation and line tables only, as the sanitizers' own guides suggest:
# reports keep their file and line, and the build takes half the time of a full optimised one
# with complete debug information.
SANITIZER_LOGS = $(CURDIR)/$(ASAN_BUILD)/sanitizer-logs
SANITIZER_ENV = \
    ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:log_path=$(SANITIZER_LOGS)/asan \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:log_path=$(SANITIZER_LOGS)/ubsan \
    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

test-sanitize: deps
	@[ -f $(ASAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(ASAN_BUILD) \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
	    -DTUNEBR_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	@rm -rf $(SANITIZER_LOGS) && mkdir -p $(SANITIZER_LOGS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j$(JOBS); \
	status=$$?; \
	if [ -n "$$(ls -A $(SANITIZER_LOGS))" ]; then \
	    cat $(SANITIZER_LOGS)/*; echo "Sanitizer reports above (kept in $(SANITIZER_LOGS))"; exit 1; \
	fi; \
	exit $$status

# Only the tests labelled concurrency (tests/CMakeLists.txt) and what they need are built, with
# lighter optimisation and line tables only, so that the build stays a few minutes on two cores.
# The first report ends the process that made it, and fails its test; reports of processes whose
# exit status nobody checks still fail the run through their logs.
THREAD_LOGS = $(CURDIR)/$(TSAN_BUILD)/sanitizer-logs
THREAD_ENV = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:history_size=4:suppressions=$(CURDIR)/tests/tsan.supp:log_path=$(THREAD_LOGS)/tsan

test-thread: deps
	@[ -f $(TSAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(TSAN_BUILD) \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
	    -DTUNEBR_SANITIZE_THREAD=ON -DTUNEBR_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target concurrency_tests
	@rm -rf $(THREAD_LOGS) && mkdir -p $(THREAD_LOGS)
	cd $(TSAN_BUILD) && $(THREAD_ENV) ctest --output-on-failure -j$(JOBS) -L concurrency; \
	status=$$?; \
	if [ -n "$$(ls -A $(THREAD_LOGS))" ]; then \
	    cat $(THREAD_LOGS)/*; echo "ThreadSanitizer reports above (kept in $(THREAD_LOGS))"; exit 1; \
	fi; \
	exit $$status

# The lock rules the catalogue writes in its code (catalogue/threadsafety.h: which mutex guards a
# member, which functions need it held), checked by clang's analysis in a syntax-only pass over
# every catalogue source, and over the job thread, a template only the panes instantiate. Under a
# minute on two cores; clang-14 shares its libraries with clang-format.
THREAD_SAFETY_FLAGS = -std=c++17 -fsyntax-only -Wthread-safety -Werror=thread-safety -I$(CURDIR)

thread-safety: deps
	git ls-files 'catalogue/*.cpp' | xargs -P$(JOBS) -n4 clang++-14 $(THREAD_SAFETY_FLAGS)
	printf '#include "catalogue/jobthread.h"\ntemplate class CJobThread<int, int>;\n' | \
	    clang++-14 $(THREAD_SAFETY_FLAGS) -x c++ -

# libFuzzer needs clang: the fuzz targets build on their own, with the catalogue, in $(FUZZ_BUILD).
# Each target runs FUZZ_SECONDS from its seeds; what it finds lands in $(FUZZ_BUILD)/findings.
fuzz:
	@for p in clang libclang-rt-14-dev; do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$p; \
	done
	cmake -S tests/fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DTUNEBR_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@mkdir -p $(FUZZ_BUILD)/findings
	@for t in tagfile tagtext encoder wildcard; do \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	    $(FUZZ_BUILD)/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=5 \
	        -artifact_prefix=$(FUZZ_BUILD)/findings/$$t- \
	        $(FUZZ_BUILD)/corpus/$$t tests/fuzz/seeds/$$t || exit 1; \
	done

format:
	clang-format -i $(SOURCES)

# Every file of ours says its licence in its first lines (after a #! line); fixtures are not ours.
LICENSED = $(shell git ls-files '*.cpp' '*.h' '*.c' '*.sh' '*.cmake' 'CMakeLists.txt' .ci/run Makefile 2>/dev/null)

format-check: deps
	clang-format --dry-run --Werror $(SOURCES)
	@missing=$$(for f in $(LICENSED); do \
	    head -3 "$$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || echo "$$f"; \
	done); \
	if [ -n "$$missing" ]; then echo "No SPDX licence header in:" $$missing; exit 1; fi
