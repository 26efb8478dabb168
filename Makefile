# The two commands of the README. Both install what is missing, configure and build first:
# `make play` only what building and playing need, `make test` everything.
BUILD_DIR ?= build
# The tree the Debian package is built in: the player alone, no tests, no benchmarks.
PACKAGE_DIR ?= build-package
FUZZ_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
# Seconds per fuzz target: `make fuzz` runs each for FUZZ_SECONDS, `make test` for CHECK_FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
CHECK_FUZZ_SECONDS ?= 30

.PHONY: play test test-sanitize fuzz bench bench-frames build build-fuzz setup package test-package  vsix profile-screenshot

play:
	@bash tools/setup.sh play
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF
	cmake --build $(BUILD_DIR) -j$(JOBS) --target kestrune
	@bash tools/play.sh $(BUILD_DIR)/kestrune

# Every test of the release build, then the unit tests under AddressSanitizer and UBSan and a
# short run of every fuzz target on its corpus (both in the clang tree of `make fuzz`).
test: build build-fuzz
	@bash tools/test.sh $(BUILD_DIR)
	@bash tools/test.sh $(FUZZ_DIR) -L unit
	@FUZZ_SECONDS=$(CHECK_FUZZ_SECONDS) bash tools/fuzz.sh $(FUZZ_DIR)
	@if [ "$$(id -u)" -eq 0 ]; then $(MAKE) --no-print-directory test-package; \
	else echo "test-package: skipped: making the Debian 12 chroots needs root (run sudo make test-package)"; fi

# The unit tests again with GCC's AddressSanitizer and UBSan (a separate build tree).
test-sanitize: setup
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKESTRUNE_SANITIZE=ON
	cmake --build build-sanitize -j$(JOBS)
	@bash tools/test.sh build-sanitize -L unit

# Every fuzz target for FUZZ_SECONDS; fails on a crash, leak, hang or sanitizer report.
fuzz: build-fuzz
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash tools/fuzz.sh $(FUZZ_DIR)

# Per-step cost of 10,000 live particles, of 200 tweening scene objects, and of the whole step
# of a scene holding both, five text instances and 100,000 script lines; the cost of one executed
# script line (ns_per_line) in a loop of flag lines and in one with two scene commands; then
# fast-forward steps per second of seeks in the bundled demo; then seeks anywhere in a ten-minute
# demo with author mode's snapshots (median ms, snapshot memory, reload at 9 min) (fonts and textures need a GL
# context: a virtual screen when there is no display; the music player's stream goes to OpenAL's
# silent null backend).
bench: build
	@if [ -n "$$DISPLAY" ]; then export ALSOFT_DRIVERS=null; $(BUILD_DIR)/bench/kestrune_bench && \
	    $(BUILD_DIR)/bench/kestrune_seek_bench && $(BUILD_DIR)/bench/kestrune_music_bench && \
	    $(BUILD_DIR)/bench/kestrune_snapshot_bench; \
	else ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 1920x1080x24" sh -c \
	    '$(BUILD_DIR)/bench/kestrune_bench && $(BUILD_DIR)/bench/kestrune_seek_bench && \
	    $(BUILD_DIR)/bench/kestrune_music_bench && $(BUILD_DIR)/bench/kestrune_snapshot_bench'; fi
	@node bench/lsp_bench.js $(BUILD_DIR)/kestrune

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_TESTS=ON -DKESTRUNE_BENCH=ON
	cmake --build $(BUILD_DIR) -j$(JOBS)

# clang with libFuzzer, AddressSanitizer and UBSan; holds the unit tests and the fuzz targets.
build-fuzz: setup
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DKESTRUNE_FUZZ=ON -DKESTRUNE_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j$(JOBS)

setup:
	@bash tools/setup.sh test

# The Debian package, in $(PACKAGE_DIR)/package/, checked by lintian. Its files take the time of the
# last commit, and no build path reaches the binary, so that the same commit gives the same package.
package:
	@bash tools/setup.sh package
	@bash tools/package.sh $(PACKAGE_DIR)

# The package installed, run and rendered in a pristine Debian 12, an exported demo played in
# another, and the package built twice to the same files (needs root: mmdebstrap and chroot).
test-package: package
	@bash tools/setup.sh test
	cmake --build $(BUILD_DIR) -j$(JOBS) --target kestrune
	python3 tests/package/package_test.py --build $(BUILD_DIR) --package $(PACKAGE_DIR)

# The VS Code extension as a .vsix, packed by the pinned @vscode/vsce.
vsix:
	@bash tools/setup.sh vsix
	@mkdir -p $(BUILD_DIR)
	cd editors/vscode && ./node_modules/.bin/vsce package --allow-missing-repository --skip-license \
	    --no-rewrite-relative-links -o $(CURDIR)/$(BUILD_DIR)/

# Median frame times: a benchmark scene and the bundled demo, against a hand-written SFML loop.
bench-frames: build
	cmake --build $(BUILD_DIR) --target bench_frames -j$(JOBS)
	@bash tools/bench_frames.sh $(BUILD_DIR)/bench_frames

# docs/profile-trace.png: 40 frames of the bundled demo rendered with --profile, the trace opened
# in the pinned viewer (tools/viewer) in headless Chromium.
profile-screenshot: build
	@dir=$$(mktemp -d /tmp/kestrune-profile-XXXXXX) && cp -r assets "$$dir/" && \
	    echo '{ "vsync": false, "music": false }' > "$$dir/config.json" && \
	    (cd "$$dir" && ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 1920x1080x24" \
	        $(abspath $(BUILD_DIR))/kestrune --render out --frames 40 --profile trace.json) && \
	    python3 tools/check_trace.py "$$dir/trace.json" && \
	    python3 tools/trace_screenshot.py "$$dir/trace.json" docs/profile-trace.png; status=$$?; rm -rf "$$dir"; exit $$status
