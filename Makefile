# The two commands of the README: `make demo` and `make test`. Both install what is missing
# first, so they work on a fresh machine.
BUILD      ?= build
JOBS       ?= 2
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
# ON in CI only (.ci/run): compiler warnings fail the build.
WERROR     ?= OFF
ADAPTER    ?= vexor

SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null || find core adapters script modules debugport app platform sim sdk tests bench fuzz -name '*.cpp' -o -name '*.h')

.PHONY: all deps configure build test demo sanitize asan tsan fuzz lint format check-format bench clean soak \
        stress-test asan-build odr-check screenshot-health

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
	  -DCORVANE_WERROR=$(WERROR) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: check-format build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# The main window on a display; the terminal view when there is none.
# The build puts the example modules, with the example module program, in $(BUILD)/demo-modules,
# where the demo finds them.
demo: build
	@$(BUILD)/app/corvane --demo --demo-adapter $(ADAPTER)

# The whole tool under full bus load for SOAK_SECONDS (30 minutes): module clients, a script,
# the main and network status windows. `make test` runs the same soak for 20 seconds.
SOAK_SECONDS ?= 1800
soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target soak_tests
	@cd $(BUILD) && CORVANE_SOAK_SECONDS=$(SOAK_SECONDS) QT_QPA_PLATFORM=offscreen \
	  tests/soak/soak_tests --gtest_filter='FullBusSoak.*'

# Hunts tests that fail at random: every test of the suite run STRESS_REPEAT times in a row,
# STRESS_JOBS at once (twice the cores of a CI machine, so each test meets a busy machine),
# stopping a test at its first failure; then the sanitizer tree the same way, ASAN_REPEAT
# times. Opt-in: about half an hour on a 2-core machine.
STRESS_REPEAT ?= 20
ASAN_REPEAT   ?= 5
STRESS_JOBS   ?= 4
stress-test: build asan-build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -j $(STRESS_JOBS) --timeout 600 \
	  --repeat until-fail:$(STRESS_REPEAT) --output-on-failure
	@cd build-asan && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(abspath tests/lsan.supp) \
	  ctest -j $(STRESS_JOBS) --timeout 1200 --repeat until-fail:$(ASAN_REPEAT) --output-on-failure

# The whole suite, windows included, under AddressSanitizer + UndefinedBehaviorSanitizer; the
# threaded suites under ThreadSanitizer.
sanitize: asan tsan

asan-build: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=address -DCORVANE_WITH_QT=ON -DCORVANE_WITH_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build build-asan -j $(JOBS)

asan: asan-build
	@cd build-asan && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(abspath tests/lsan.supp) \
	  ctest --output-on-failure -j $(JOBS) --timeout 600

tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=thread -DCORVANE_WITH_QT=OFF -DCORVANE_WITH_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) --timeout 300 -R Concurrency

# Two different types under one name in one program (a one-definition-rule violation) are
# only seen when the program is linked as a whole: every program the build makes, the test
# programs with their doubles included, is linked with link-time optimisation, which compares
# every type across the objects, and any clash fails the build. The whole build, so that no
# list of programs can fall behind.
odr-check: deps
	@cmake -S . -B build-odr -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON \
	  -DCMAKE_EXE_LINKER_FLAGS="-Werror=odr -Werror=lto-type-mismatch" -DCORVANE_WITH_BENCH=OFF \
	  $(CMAKE_ARGS) >/dev/null
	@cmake --build build-odr -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

.PHONY: package
# The Debian package in $(BUILD): the programs, the module SDK, man pages, desktop entry and
# icons, udev rules (see docs/install.md).
package: build
	@cmake --build $(BUILD) -j $(JOBS) --target package-files
	@cd $(BUILD) && cpack -G DEB

check-format: deps
	@clang-format --dry-run --Werror $(SOURCES)

format: deps
	@clang-format -i $(SOURCES)

# The layer check (the table of allowed includes in docs/architecture.md), then clang-tidy with
# the checks of .clang-tidy as errors over the program sources of the build, JOBS at a time.
# Tests are left to the compiler's warnings. A lambda never captures a structured binding:
# C++20 allows it, but clang-tidy 14 cannot parse it.
TIDY_FILES = $(CURDIR)/(adapters|app|bench|cli|core|debugport|decode|demo|health|logs|modules|mqtt|platform|script|sdk|sim)/
lint: check-format configure
	@scripts/check-layers
	@run-clang-tidy -quiet -j $(JOBS) -p $(BUILD) '$(TIDY_FILES)' >$(BUILD)/lint.log 2>&1 || \
	  { grep -E -A3 'error:|warning:' $(BUILD)/lint.log; \
	    echo "lint: clang-tidy found problems (all of its output: $(BUILD)/lint.log)"; exit 1; }

clean:
	rm -rf build build-asan build-tsan build-odr build-fuzz

# libFuzzer targets (clang): `make fuzz` runs each for FUZZ_SECONDS, the suite for 10.
FUZZ_SECONDS ?= 10
fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ=ON -DCORVANE_WITH_QT=OFF -DCORVANE_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_all
	@cd build-fuzz && ctest --output-on-failure -j $(JOBS) --timeout $$(( $(FUZZ_SECONDS) + 120 ))

# A picture of the main window on the demo vehicle, drawn on a virtual display with settings
# and runtime folders of its own, for the README.
.PHONY: screenshot
SCREENSHOT ?= docs/images/main-window.png
screenshot: build
	@mkdir -p $(dir $(SCREENSHOT))
	@tmp=$$(mktemp -d) && \
	  CORVANE_CONFIG_DIR=$$tmp/config CORVANE_RUNTIME_DIR=$$tmp/run \
	  xvfb-run -a -s "-screen 0 1280x800x24" \
	    $(BUILD)/app/corvane --demo -noupdates --screenshot $(SCREENSHOT); \
	  status=$$?; rm -rf $$tmp; exit $$status

# The Traffic window's two tabs on the same demo: docs/images/traffic-messages.png and
# docs/images/traffic-values.png, for docs/decoding.md.
.PHONY: screenshot-traffic
TRAFFIC_SCREENSHOT ?= docs/images/traffic
screenshot-traffic: build
	@mkdir -p $(dir $(TRAFFIC_SCREENSHOT))
	@tmp=$$(mktemp -d) && \
	  CORVANE_CONFIG_DIR=$$tmp/config CORVANE_RUNTIME_DIR=$$tmp/run \
	  xvfb-run -a -s "-screen 0 1280x800x24" \
	    $(BUILD)/app/corvane --demo -noupdates --screenshot-traffic $(TRAFFIC_SCREENSHOT); \
	  status=$$?; rm -rf $$tmp; exit $$status

# The coach report of the demo log as a real browser shows it (headless Chromium, installed
# here when missing: only this target needs it), and the Faults window on the simulated
# vehicle: docs/images/health-report.png and docs/images/faults-window.png, for docs/health.md.
.PHONY: screenshot-health
screenshot-health: build
	@command -v chromium >/dev/null || { sudo=""; [ "$$(id -u)" -eq 0 ] || sudo=sudo; \
	  $$sudo apt-get install -y -qq --no-install-recommends chromium; }
	@tmp=$$(mktemp -d) && \
	  $(BUILD)/health/corvane-report examples/logs/demo-vehicle.log --html $$tmp/report.html >/dev/null && \
	  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=900,800 \
	    --screenshot=$(abspath docs/images/health-report.png) file://$$tmp/report.html 2>/dev/null; \
	  status=$$?; rm -rf $$tmp; exit $$status
	@CORVANE_FAULTS_SCREENSHOT=$(abspath docs/images/faults-window.png) QT_QPA_PLATFORM=offscreen \
	  $(BUILD)/tests/app/app_tests --gtest_filter='FaultsWindow.TheDemo*' >/dev/null 2>&1
