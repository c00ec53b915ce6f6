# Two commands set everything up on a fresh Debian 12 machine: `make run` and `make test`.

PACKAGES := build-essential cmake pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools \
            qt6-tools-dev-tools qt6-svg-dev libglib2.0-dev shared-mime-info xvfb xauth xdotool \
            imagemagick libgtest-dev libgmock-dev libbenchmark-dev clang-format \
            librsvg2-bin desktop-file-utils appstream lintian
BUILD ?= build
DEMO := $(BUILD)/demo-library
DEMO_FILES := 300
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)
SOURCES = $(shell git ls-files '*.cpp' '*.h' '*.c' 2>/dev/null)

.PHONY: deps configure build run test format format-check demo

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

test: format-check build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# PREFIX=/usr/local by default; DESTDIR=/some/root stages the files instead of installing them.
PREFIX ?= /usr/local
.PHONY: install package
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/tunebrowse_VERSION_ARCH.deb: apt install ./$(BUILD)/tunebrowse_*.deb
package: build
	cd $(BUILD) && cpack -G DEB

format:
	clang-format -i $(SOURCES)

format-check: deps
	clang-format --dry-run --Werror $(SOURCES)
