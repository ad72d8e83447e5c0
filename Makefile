# Ormax 4: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD_DIR ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build check test test-sanitize test-threads test-soft test-aarch64 sample-codes fuzz run bench bench-dask accuracy accuracy-held-out docs-figures screenshots examples package clean format

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR)

# The quick loop: the normal build and its tests alone (the first step of make test).
check: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j2

test: check
	@$(MAKE) --no-print-directory test-sanitize
	@$(MAKE) --no-print-directory test-threads
	@$(MAKE) --no-print-directory test-soft
	@$(MAKE) --no-print-directory test-aarch64

# The four builds after the first only run tests: they carry line tables rather than full
# debug information (enough for a sanitizer's report and a backtrace), compile each
# library as a few unity sources, and the sanitizer builds optimise at -O1, as the
# sanitizers' makers advise. Each compiles in about half the time; the codes are the same
# at any optimisation (the tests compare them).
TEST_ONLY_FLAGS = -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DORMAX_UNITY_LIBRARIES=ON
SANITIZER_FLAGS = -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DORMAX_UNITY_LIBRARIES=ON

# The core and command-line tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (the desktop program and benchmarks are left out).
SANITIZE_DIR ?= build-asan
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(SANITIZER_FLAGS) \
	  -DORMAX_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_DIR)
	@cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j2

# The tests of the threaded paths (the worker pool: finding the background, recognition,
# Build Trees, the command line's --jobs, evaluate's copies, a base's copies, leave-one-out)
# built with ThreadSanitizer; any report fails.
TSAN_DIR ?= build-tsan
THREADED_TESTS = Background.RowsOfTilesOnSeveralThreadsFindTheSameInk|FastPaths.RecognitionOnSeveralThreads|FastPaths.RecognitionOfRepeatedShapes|FastPaths.BuildTreesOnSeveralThreads|FastPaths.StreamedResultsAreThoseBuildTreesKeeps|FastPaths.LargeRegionsSplitOnSeveralThreads|FastPaths.RegionsWaitingForALargeRegionsHalves|FastPaths.LargeScenesSegmentedOnSeveralThreads|Samples.JobsDoNotChangeTheOutput|Samples.EvaluateCounts|Resampling.ABaseOnSeveralThreads|LeaveOneOut.DrawingsOfTwoShapes|Collections.PicturesOfOneNameNeverShareAnOutput|FastPaths.StreamedRecognition|FastPaths.ViewsStreamed|Cli.ViewsOfManyRegions|Cli.CodesIntoOneTarArchive|ArchiveOrder.|Records.ManyRowsOnSeveralThreads|QtBitmap.BandsOfRows|QtBitmap.ALargeFileReadInParts
test-threads: deps
	@cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(SANITIZER_FLAGS) \
	  -DORMAX_TSAN=ON >/dev/null
	@cmake --build $(TSAN_DIR) --target ormax_tests ormax_cli_tests ormax_qt_tests
	@cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j2 -R '$(THREADED_TESTS)'
# The sample pictures as pixel matrices with their codes, and extended operations with
# x87's results, as this build computes them: what the other builds compare with.
SAMPLE_CODES = $(abspath $(BUILD_DIR))/sample-codes
sample-codes: build
	@$(BUILD_DIR)/ormax_sample_codes examples $(SAMPLE_CODES)

# The tests of the core, the pipeline, the Qt bindings and the command line again with the
# extended type in software (as on processors whose long double is not the x87 format);
# the sample base must still regenerate byte for byte
# (Samples.TheToolReproducesTheCommittedFiles) and every sample code must be the long
# double build's (SampleCodes.*). The desktop program, the Python module and the package
# compute nothing of their own and are left out.
SOFT_DIR ?= build-soft
test-soft: sample-codes
	@cmake -S . -B $(SOFT_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(TEST_ONLY_FLAGS) \
	  -DORMAX_SOFT_EXTENDED=ON -DORMAX_TESTS_ONLY=ON -DORMAX_SAMPLE_CODES=$(SAMPLE_CODES) >/dev/null
	@cmake --build $(SOFT_DIR)
	@cd $(SOFT_DIR) && ctest --output-on-failure -j2

# The core and its tests cross-built for 64-bit ARM (Debian's g++-aarch64-linux-gnu,
# GoogleTest from Debian's sources) and run under qemu-user: the sample codes and the
# recorded x87 results must come out byte for byte as on x86-64.
AARCH64_DIR ?= build-aarch64
test-aarch64: sample-codes
	@cmake -S . -B $(AARCH64_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(TEST_ONLY_FLAGS) \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/aarch64-linux-gnu.cmake -DORMAX_CORE_ONLY=ON \
	  -DORMAX_GTEST_SOURCE=/usr/src/googletest -DORMAX_SAMPLE_CODES=$(SAMPLE_CODES) >/dev/null
	@cmake --build $(AARCH64_DIR)
	@cd $(AARCH64_DIR) && ctest --output-on-failure -j2

# Fuzzing with clang's libFuzzer: every target for FUZZ_SECONDS, starting from the
# committed corpus in tests/fuzz/corpus; new inputs collect in build-fuzz/corpus.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = CodeFile BaseList Bmp Distance Pipeline
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORMAX_FUZZ=ON \
	  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_DIR)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/findings/$$t; \
	  echo "fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  QT_QPA_PLATFORM=offscreen $(FUZZ_DIR)/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=4096 \
	    -artifact_prefix=$(FUZZ_DIR)/findings/$$t/ -print_final_stats=1 \
	    $(FUZZ_DIR)/corpus/$$t tests/fuzz/corpus/$$t 2>&1 | grep -E '^(stat::|#[0-9]+ *DONE|==[0-9]+==|SUMMARY|Done)' || exit 1; \
	done

# The Debian packages ormax_VERSION_ARCH.deb (and python3-ormax_VERSION_ARCH.deb, the
# Python module), here, from the built binaries (CPack), and
# lintian on them: any warning or error fails; the remaining notes are listed in the README.
package: build
	@rm -rf $(BUILD_DIR)/package && cd $(BUILD_DIR) && cpack -G DEB -B package >/dev/null
	@cp $(BUILD_DIR)/package/*ormax_*.deb .
	@ls *ormax_*.deb
	@lintian --display-info --pedantic --fail-on error,warning $(BUILD_DIR)/package/*ormax_*.deb 2>/dev/null; \
	  s=$$?; [ $$s -eq 0 ] && echo "lintian: no errors or warnings"; exit $$s

# The hot routines (Google Benchmark), then the scene benchmark against OpenCV (a C++
# program of ours, bench/opencv_peer.cpp, with Debian's libopencv-dev, and Python with
# python3-opencv: tools of the benchmark only, installed here if missing), and
# the scene benchmark built with the software extended type beside the long double one.
SOFT_BENCH_DIR ?= build-soft-bench
bench: build
	@$(BUILD_DIR)/ormax_bench
	@if ls $(BUILD_DIR)/python/ormax.*.so >/dev/null 2>&1; then \
	  /usr/bin/python3 bench/python_threads.py $(BUILD_DIR); fi
	@$(MAKE) --no-print-directory accuracy
	@dpkg-query -W -f='$${Status}' libopencv-dev 2>/dev/null | grep -q 'install ok installed' || \
	  { s=""; [ "$$(id -u)" -ne 0 ] && s=sudo; $$s apt-get install -y -qq --no-install-recommends libopencv-dev >/dev/null; }
	@dpkg-query -W -f='$${Status}' python3-opencv 2>/dev/null | grep -q 'install ok installed' || \
	  { s=""; [ "$$(id -u)" -ne 0 ] && s=sudo; $$s apt-get install -y -qq --no-install-recommends python3-opencv >/dev/null; }
	@cmake $(BUILD_DIR) >/dev/null && cmake --build $(BUILD_DIR) --target ormax_opencv_peer
	@cmake -S . -B $(SOFT_BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORMAX_SOFT_EXTENDED=ON >/dev/null
	@cmake --build $(SOFT_BENCH_DIR) --target ormax_scenebench
	@/usr/bin/python3 bench/scene_bench.py $(BUILD_DIR) --tar --soft $(SOFT_BENCH_DIR)

# examples/dask_recognize.py on local clusters of 1 and 2 workers, DASK_COPIES x 3 scenes.
DASK_COPIES ?= 100
bench-dask: build
	@/usr/bin/python3 bench/dask_bench.py $(BUILD_DIR) $(DASK_COPIES)

# Recognition of shapes drawn apart from the base (bench/Accuracy.cpp): a base built by
# ormax-cli base from the sample shapes and a mirror pair, 624 held-out pictures at
# random angles, sizes, positions and colours; at the defaults and at the options that
# were the defaults before, each with its plot in ACCURACY_PLOTS (the build folder, so
# that make bench changes no file of the repository; make docs-figures draws the
# README's copies in docs/). Then bench/Conditions.cpp: pictures
# as people have them (anti-aliased, JPEG, tinted and noisy, unevenly lit, light on
# dark, coloured card, salt and pepper, defocused, faint ink) with --background white
# and auto, beside an OpenCV peer (Debian's python3-opencv, installed here if missing).
# Then bench/Collections.cpp: capital letters in typefaces (fonts-dejavu-core,
# fonts-urw-base35), several drawings each, left out one at a time and in typefaces the
# base has not seen, beside the same peer.
ACCURACY_SEED ?= 1
ACCURACY_PLOTS ?= $(BUILD_DIR)
accuracy: accuracy-held-out
	@echo
	@dpkg-query -W -f='$${Status}' python3-opencv 2>/dev/null | grep -q 'install ok installed' || \
	  { s=""; [ "$$(id -u)" -ne 0 ] && s=sudo; $$s apt-get install -y -qq --no-install-recommends python3-opencv >/dev/null; }
	@$(BUILD_DIR)/ormax_conditions --cli $(BUILD_DIR)/ormax-cli --shapes examples/shapes \
	  --work $(BUILD_DIR)/conditions --seed $(ACCURACY_SEED) --python /usr/bin/python3
	@echo
	@for p in fonts-dejavu-core fonts-urw-base35; do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || \
	  { s=""; [ "$$(id -u)" -ne 0 ] && s=sudo; $$s apt-get install -y -qq --no-install-recommends $$p >/dev/null; }; done
	@$(BUILD_DIR)/ormax_collections --cli $(BUILD_DIR)/ormax-cli --work $(BUILD_DIR)/collections \
	  --seed $(ACCURACY_SEED) --python /usr/bin/python3

# The held-out shapes alone: the first part of make accuracy.
accuracy-held-out: build
	@$(BUILD_DIR)/ormax_accuracy --cli $(BUILD_DIR)/ormax-cli --shapes examples/shapes \
	  --work $(BUILD_DIR)/accuracy --seed $(ACCURACY_SEED) --scene examples/scenes/scene1.bmp \
	  --title "the default base" --plot $(ACCURACY_PLOTS)/accuracy.png
	@echo
	@$(BUILD_DIR)/ormax_accuracy --cli $(BUILD_DIR)/ormax-cli --shapes examples/shapes \
	  --work $(BUILD_DIR)/accuracy-old --seed $(ACCURACY_SEED) --scene examples/scenes/scene1.bmp \
	  --title "the former defaults" --plot $(ACCURACY_PLOTS)/accuracy-former.png -- --turns 12 --level 3 --scales 1

# The README's sameness plots, drawn on purpose into docs/ (tracked files).
docs-figures: build
	@$(MAKE) --no-print-directory accuracy-held-out ACCURACY_PLOTS=docs

# With a display: the desktop program. Without one: the sample scenes recognised by the
# command line, with the recognition pictures in out/.
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then $(BUILD_DIR)/ormax; \
	else mkdir -p out && $(BUILD_DIR)/ormax-cli recognize examples/scenes/*.bmp \
	  --base examples/base/base.txt --picture out/recognition.bmp \
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
	@rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(SOFT_DIR) $(SOFT_BENCH_DIR) $(AARCH64_DIR) $(FUZZ_DIR) *ormax_*.deb
