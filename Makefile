# Orvane: one-command set-up, build, run and test on Debian 12.
#   make run   installs what is missing, builds, starts the editor
#   make test  installs what is missing, builds, runs every test three ways,
#              and the tests of work in worker threads under ThreadSanitizer
#   make fuzz  builds the fuzz targets with clang and runs each FUZZ_SECONDS
#   make package  builds orvane_<version>_amd64.deb here and checks it with lintian

# libtinygltf-dev writes and reads glTF for the export; nlohmann-json3-dev
# (the JSON library tinygltf is written on) names the .bin of a .gltf.
PACKAGES  := cmake make g++ pkg-config qt6-base-dev libqscintilla2-qt6-dev libzip-dev \
             libqt6svg6 libqt6opengl6-dev libgl1-mesa-dri clang xvfb xauth zip unzip fonts-dejavu-core \
             desktop-file-utils appstream shared-mime-info libtinygltf-dev nlohmann-json3-dev
# What only `make package` needs: dpkg-shlibdeps, `file` (CPack sorts the
# binaries with it) and lintian.
PACKAGE_TOOLS := dpkg-dev file lintian
BUILD     := build
ASAN      := build-asan
FUZZ      := build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_WORK ?= $(FUZZ)/work
TSAN      := build-tsan
JOBS      := $(shell nproc 2>/dev/null || echo 2)
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CTEST     := ctest --output-on-failure --no-tests=error
# Tests never see the user's display or settings.
OFFSCREEN := QT_QPA_PLATFORM=offscreen
ASAN_ENV  := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
             LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
             UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
TSAN_ENV  := TSAN_OPTIONS=halt_on_error=1:suppressions=$(CURDIR)/tests/tsan.supp
# The tests labelled `threads`, the only ones the ThreadSanitizer pass builds.
TSAN_TESTS := tst_vbzipbas tst_pack tst_save tst_snapshotworker tst_convertcli tst_exportmenu

.PHONY: all deps deps-package build run test test-offscreen test-xvfb test-asan test-tsan fuzz fuzz-build fuzz-corpus bench \
        install package clean

all: build

deps:
	@$(call install-missing,$(PACKAGES))

deps-package:
	@$(call install-missing,$(PACKAGE_TOOLS))

# Installs those of the packages $(1) that are missing.
define install-missing
	missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
endef

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/orvane

test: build
	$(MAKE) --no-print-directory test-offscreen test-xvfb test-asan test-tsan

test-offscreen:
	cd $(BUILD) && $(OFFSCREEN) $(CTEST) -j $(JOBS)

# The window tests once more on a real X server.
test-xvfb:
	cd $(BUILD) && QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" $(CTEST) -L gui

test-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && $(OFFSCREEN) $(ASAN_ENV) $(CTEST) -j $(JOBS) -LE nosan

# Only the tests of worker threads, built on their own: Qt itself is not
# built with ThreadSanitizer, so the rest would add time and no findings.
test-tsan: deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE_THREADS=ON
	cmake --build $(TSAN) -j $(JOBS) --target $(TSAN_TESTS) zip32 zip32rec zip32gate
	cd $(TSAN) && $(OFFSCREEN) $(TSAN_ENV) $(CTEST) -j $(JOBS) -L threads

# Fuzzing: clang with libFuzzer, ASan and UBSan, in its own build folder.
# Each target runs FUZZ_SECONDS in the scratch folder FUZZ_WORK (emptied first,
# git-ignored), which keeps its log, its new inputs and any crash file.
fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_FUZZ=ON
	cmake --build $(FUZZ) -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	fuzz/run.sh $(FUZZ)/bin $(FUZZ_WORK) $(FUZZ_SECONDS)

# Fuzzes from our own inputs only, then replaces fuzz/corpus/ with what was found, minimised.
fuzz-corpus: fuzz-build
	fuzz/run.sh --corpus $(FUZZ)/bin $(FUZZ_WORK) $(FUZZ_SECONDS)

# Every benchmark runs offscreen, but the 3D preview's, which needs OpenGL:
# it runs on Xvfb (Mesa's llvmpipe).
bench: build
	cmake --build $(BUILD) -j $(JOBS) --target benches
	@for b in $(BUILD)/bin/bench_*; do \
	  [ -x "$$b" ] || continue; \
	  case "$$b" in \
	    */bench_preview) QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$$b" ;; \
	    *) $(OFFSCREEN) "$$b" ;; \
	  esac; \
	done

install: build
	cmake --install $(BUILD)

# The Debian package, from the tested build: orvane_<version>_amd64.deb in
# this folder. lintian fails it on any error and lists its warnings.
package: build deps-package
	rm -f $(BUILD)/orvane_*.deb orvane_*.deb
	cd $(BUILD) && cpack -G DEB
	mv $(BUILD)/orvane_*.deb .
	lintian --fail-on error orvane_*.deb

clean:
	rm -rf $(BUILD) $(ASAN) $(TSAN) $(FUZZ)
