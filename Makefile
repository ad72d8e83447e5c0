# Ormax 4: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD_DIR ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build test run bench screenshots examples clean format

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j2

bench: build
	@$(BUILD_DIR)/ormax_bench

# With a display: the desktop program. Without one: the sample scenes recognised by the
# command line, with the recognition pictures in out/.
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then $(BUILD_DIR)/ormax; \
	else mkdir -p out && $(BUILD_DIR)/ormax-cli recognize examples/scenes/*.bmp \
	  --base examples/base/base.txt --picture out/recognition.bmp --min-sameness 60 \
	  2>/dev/null; \
	  echo "Recognition pictures are in out/. No display here: on a desktop 'make run' starts the program; without one, 'xvfb-run $(BUILD_DIR)/ormax'."; fi

# The sample pictures and base in examples/, drawn again (the same bytes).
examples: build
	@$(BUILD_DIR)/ormax_examples examples

# The README's screenshots, made by driving the real main window offscreen.
screenshots: build
	@QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/ormax_screenshots docs/screenshots

format:
	@clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	@rm -rf $(BUILD_DIR)
