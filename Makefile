# The two set-up commands of the README. Both install what is missing first.
JOBS ?= $(shell nproc)
TEST_BUILD := build-test
DEMO_BUILD := build

.PHONY: install test demo clean

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

clean:
	rm -rf $(TEST_BUILD) $(DEMO_BUILD)
