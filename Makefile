# The two commands of the README. Both install what is missing, configure and build first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: play test test-sanitize bench bench-frames build setup

play: build
	@bash tools/play.sh $(BUILD_DIR)/kestrune

test: build
	@bash tools/test.sh $(BUILD_DIR)

# The unit tests again with AddressSanitizer and UBSan (a separate build tree).
test-sanitize: setup
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKESTRUNE_SANITIZE=ON
	cmake --build build-sanitize -j$(JOBS)
	@bash tools/test.sh build-sanitize -L unit

# Per-step cost of 10,000 live particles, of 200 tweening scene objects, and of the whole step
# of a scene holding both, five text instances and 100,000 script lines (fonts and textures need
# a GL context: a virtual screen when there is no display).
bench: build
	@if [ -n "$$DISPLAY" ]; then $(BUILD_DIR)/bench/kestrune_bench; \
	else xvfb-run -a -s "-screen 0 1920x1080x24" $(BUILD_DIR)/bench/kestrune_bench; fi

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

setup:
	@bash tools/setup.sh

# Median frame times: a benchmark scene and the bundled demo, against a hand-written SFML loop.
bench-frames: build
	cmake --build $(BUILD_DIR) --target bench_frames -j$(JOBS)
	@bash tools/bench_frames.sh $(BUILD_DIR)/bench_frames
