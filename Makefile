# The set-up commands of the README. Each installs what is missing first.
JOBS ?= $(shell nproc)
TEST_BUILD := build-test
DEMO_BUILD := build
# The 32-bit Windows build: its libraries are built once into a cache folder
# outside the clone, which later builds reuse, as does the wine prefix.
WINDOWS_BUILD := build-windows
WINDOWS_CACHE ?= $(or $(XDG_CACHE_HOME),$(HOME)/.cache)/tolvane2-win32
# The Debian package: a release build of its own, without tests or benchmarks.
PACKAGE_BUILD := build-package

.PHONY: install test demo format format-check clean windows-deps windows windows-test windows-package package-deps package package-test

install:
	bash tools/install-deps.sh

test: install
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTOLVANE2_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j $(JOBS)
	cd $(TEST_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 600

demo: install
	cmake -S . -B $(DEMO_BUILD) -DCMAKE_BUILD_TYPE=Release -DTOLVANE2_TESTS=OFF
	cmake --build $(DEMO_BUILD) -j $(JOBS)
	bash tools/demo.sh $(DEMO_BUILD)

windows-deps:
	bash tools/install-deps-windows.sh
	JOBS=$(JOBS) bash tools/build-windows-deps.sh $(WINDOWS_CACHE)

windows: windows-deps
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/windows-i686.cmake \
	  -DTOLVANE2_WIN32_DEPS=$(WINDOWS_CACHE)/i686 -DCMAKE_BUILD_TYPE=Release -DTOLVANE2_BENCH=OFF
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

windows-test: windows
	TOLVANE2_WINEPREFIX=$(WINDOWS_CACHE)/wineprefix JOBS=$(JOBS) bash tools/windows-test.sh $(WINDOWS_BUILD)

windows-package: windows
	bash tools/windows-package.sh $(WINDOWS_BUILD)

package-deps:
	bash tools/install-deps.sh package

package: package-deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DTOLVANE2_TESTS=OFF -DTOLVANE2_BENCH=OFF \
	  -DTOLVANE2_PACKAGE=ON
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB

package-test: package
	bash tools/package-test.sh $(PACKAGE_BUILD)

# Formatting: one version of clang-format, so that every machine agrees.
format: install
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 -i

format-check: install
	bash tools/check-format.sh

clean:
	rm -rf $(TEST_BUILD) $(DEMO_BUILD) $(WINDOWS_BUILD) $(PACKAGE_BUILD)
