# Entry points; CMake does the real work.
JOBS ?= 2

.PHONY: all deps build test package package-check demo demo-windows screenshots sanitize fuzz bench format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j$(JOBS)

test: build
	@ctest --preset default -j$(JOBS)

# The Debian packages quillon, heraldo and vigimon, in build/packages/.
package: build
	@cd build && cpack --config CPackConfig.cmake >/dev/null
	@ls build/packages/*.deb

# For a throwaway machine only: installs the packages with apt, runs them,
# purges them and checks nothing is left (packaging/package-check.sh).
package-check: package
	@packaging/package-check.sh build/packages

demo: build
	@scripts/demo.sh

demo-windows: build
	@scripts/demo-windows.sh

screenshots: build
	@scripts/screenshots.sh

sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize -j$(JOBS)
	@ctest --preset sanitize -j$(JOBS)

# Each fuzz target for SECONDS seconds under libFuzzer (scripts/fuzz.sh).
SECONDS ?= 60
fuzz: deps
	@JOBS=$(JOBS) scripts/fuzz.sh $(SECONDS)

bench: build
	@build/bin/pdu_bench
	@build/bin/request_bench
	@cd build/bin && ./speech_bench
	@cd build/bin && ./loudness_bench
	@/usr/bin/python3 bench/sms_latency_bench.py --indications
	@/usr/bin/python3 bench/modem_recovery_bench.py
	@build/bin/poll_bench --terminals 10000 --polls 5
	@QT_QPA_PLATFORM=offscreen build/bin/heraldo_tick_bench
	@/usr/bin/python3 bench/heraldo_window_bench.py
	@build/bin/export_bench
	@build/bin/monitor_list_bench
	@build/bin/vigimon_scrape_bench
	@QUILLON_BIN_DIR=$(CURDIR)/build/bin build/bin/soak 10000 --compare

format:
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

clean:
	rm -rf build build-sanitize build-fuzz
