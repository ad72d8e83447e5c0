# Ormax 4: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD_DIR ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build test run bench screenshots clean format

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

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then $(BUILD_DIR)/ormax; \
	else echo "No display here: start the desktop program on one with 'make run', or under Xvfb with 'xvfb-run $(BUILD_DIR)/ormax'."; fi

# The README's screenshots, made by driving the real main window offscreen.
screenshots: build
	@QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/ormax_screenshots docs/screenshots

format:
	@clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	@rm -rf $(BUILD_DIR)
