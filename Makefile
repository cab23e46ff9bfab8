# Orvane: one-command set-up, build, run and test on Debian 12.
#   make run   installs what is missing, builds, starts the editor
#   make test  installs what is missing, builds, runs every test three ways

PACKAGES  := cmake make g++ pkg-config qt6-base-dev libqscintilla2-qt6-dev libzip-dev \
             libqt6svg6 libqt6opengl6-dev libgl1-mesa-dri clang xvfb xauth zip unzip fonts-dejavu-core
BUILD     := build
ASAN      := build-asan
JOBS      := $(shell nproc 2>/dev/null || echo 2)
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CTEST     := ctest --output-on-failure --no-tests=error
# Tests never see the user's display or settings.
OFFSCREEN := QT_QPA_PLATFORM=offscreen
ASAN_ENV  := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
             LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
             UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps build run test test-offscreen test-xvfb test-asan bench install clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/orvane

test: build
	$(MAKE) --no-print-directory test-offscreen test-xvfb test-asan

test-offscreen:
	cd $(BUILD) && $(OFFSCREEN) $(CTEST) -j $(JOBS)

# The window tests once more on a real X server.
test-xvfb:
	cd $(BUILD) && QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" $(CTEST) -L gui

test-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && $(OFFSCREEN) $(ASAN_ENV) $(CTEST) -j $(JOBS) -LE nosan

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

clean:
	rm -rf $(BUILD) $(ASAN)
