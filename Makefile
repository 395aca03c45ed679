# Front door: `make run` starts the program, `make test` runs every test headless. Both install
# the Debian packages they need when they are missing.

BUILD_DIR      ?= build
SANITIZE_DIR   ?= build-sanitize
BENCH_DIR      ?= build-bench
JOBS           ?= $(shell nproc 2>/dev/null || echo 2)
SUDO           := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# The scan history is a SQLite database read through Qt SQL's driver.
BUILD_PACKAGES := cmake ninja-build g++ make pkg-config qt6-base-dev qt6-base-dev-tools libpsl-dev publicsuffix \
                  zlib1g-dev libqt6sql6-sqlite
GUI_PACKAGES   := qt6-webengine-dev qt6-multimedia-dev qt6-svg-dev
BENCH_PACKAGES := nginx wget time bc python3 iproute2 openssl
# `make package`: dpkg-shlibdeps (dpkg-dev) computes the Depends, reading the programs with file.
PACKAGE_PACKAGES := dpkg-dev file
# The install test validates the desktop files and scans from the installed program; the package
# test builds the package and has lintian check it.
TEST_PACKAGES  := desktop-file-utils appstream libxml2-utils python3 iproute2 util-linux dbus-daemon \
                  $(PACKAGE_PACKAGES) lintian

.PHONY: all deps deps-gui deps-test deps-bench deps-package configure build run package test test-sanitize bench bench-partners clean

all: build

define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install_missing,$(BUILD_PACKAGES))

deps-gui:
	$(call install_missing,$(GUI_PACKAGES))

deps-test:
	$(call install_missing,$(TEST_PACKAGES))

deps-bench:
	$(call install_missing,$(BENCH_PACKAGES))

deps-package:
	$(call install_missing,$(PACKAGE_PACKAGES))

$(BUILD_DIR)/build.ninja: | deps deps-gui
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release

configure: $(BUILD_DIR)/build.ninja

build: deps deps-gui configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The window needs a display; without one the command line is shown instead.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  exec $(BUILD_DIR)/bin/corvane; \
	else \
	  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): corvane needs one; here is corvane-cli instead."; \
	  $(BUILD_DIR)/bin/corvane-cli --help; \
	fi

# The Debian package of the build: $(BUILD_DIR)/corvane_VERSION_amd64.deb.
package: build deps-package
	cd $(BUILD_DIR) && cpack -G DEB

test: build deps-test
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps deps-gui
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps deps-bench
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/run.sh $(BENCH_DIR)
	@if [ "$$(id -u)" = 0 ]; then bench/partners.sh $(BENCH_DIR) && bench/wide_area.sh $(BENCH_DIR) && bench/scale.sh $(BENCH_DIR); \
	  else echo "The project, wide-area and scale benches (bench/partners.sh, bench/wide_area.sh, bench/scale.sh) need root for their network namespaces: skipped."; fi

# The project bench alone: many partners on a slow network, one at a time and several at once.
bench-partners: deps deps-bench
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/partners.sh $(BENCH_DIR)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR)
