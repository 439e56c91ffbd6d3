# Two commands on a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup configure build test run clean bench fuzz windows test-windows test-sanitize \
        install package test-package windows-package

all: build

setup:
	bash scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The program on the demo site. A first run writes build/settings.dat with the
# program's own save code: examples/site served on port 80, PHP through
# /usr/bin/php-cgi, CGI on, this machine only, the access log in build/logs,
# status Running. Later runs keep whatever the window last applied.
# Only the program and the first-settings tool are built here; the tests
# build with `make test`.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target ambrel ambrel_first_settings
	@test -f $(BUILD)/settings.dat || $(BUILD)/examples/ambrel_first_settings \
	  $(BUILD)/settings.dat $(CURDIR)/examples/site /usr/bin/ $(CURDIR)/$(BUILD)/logs/
	$(BUILD)/ambrel

clean:
	rm -rf $(BUILD) build-sanitize build-windows

# The whole Linux suite again with AddressSanitizer and
# UndefinedBehaviorSanitizer, in a build folder of its own; undefined
# behaviour ends the test that meets it.
SANITIZE_BUILD ?= build-sanitize
test-sanitize: setup
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 900

# The engine as Windows programs (mingw-w64, static runtime):
# build-windows/ambrel_serve_folder.exe and the engine's tests as .exe files.
WINDOWS_BUILD ?= build-windows
windows:
	bash scripts/setup.sh windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# Those tests under Wine in a network namespace of their own, then the
# folder-serving program on port 80 there, fetched by curl.
test-windows: windows
	bash scripts/test-windows.sh $(WINDOWS_BUILD)

# Side-by-side benchmark against nginx, lighttpd, `php -S` and Python's
# http.server, built in release mode. Never part of `make test`.
# Alternating rounds per row and seconds per run (the defaults take about
# eleven minutes on a 2-core machine; the whole bench must end within 900 s).
BENCH_ROUNDS ?= 5
BENCH_SECONDS ?= 2
bench:
	bash scripts/setup.sh bench
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS) --target ambrel_bench_server \
	  ambrel_bench_server_stack256k ambrel_bench_server_stack8192k
	timeout --signal=INT 900 python3 bench/run.py build-release \
	  --rounds $(BENCH_ROUNDS) --seconds $(BENCH_SECONDS)

# libFuzzer targets in a clang build of their own, each run for FUZZ_SECONDS
# (default 60); crashes land in fuzz/regressions, which `make test` replays.
FUZZ_SECONDS ?= 60
fuzz:
	bash scripts/setup.sh bench
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer"
	cmake --build build-fuzz -j $(JOBS) --target ambrel_fuzzers
	FUZZ_SECONDS=$(FUZZ_SECONDS) sh fuzz/run.sh build-fuzz

# The program, its menu entry, icons and README under PREFIX (DESTDIR is
# put in front of every name, for building packages).
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# build/ambrel_<version>_amd64.deb
package: build
	cd $(BUILD) && cpack -G DEB

# The package installed on this machine, used by a new user of it on port 80
# and removed again (root only; part of .ci/run, not of `make test`).
test-package: package
	bash scripts/test-package.sh $(BUILD)

# build-windows/ambrel-<version>-setup.exe (NSIS) and
# build-windows/ambrel-<version>-windows.zip (portable).
windows-package: windows
	bash scripts/setup.sh windows
	bash scripts/windows-package.sh $(WINDOWS_BUILD)
