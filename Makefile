# Thin wrapper around CMake. `make demo` runs rekul on the bundled example, `make test` runs
# every test, `make sanitize` runs them again under AddressSanitizer and UBSan.
JOBS ?= 2

.PHONY: deps build demo demo-ortho test sanitize bench clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DREKUL_WERROR=ON >/dev/null
	cmake --build build -j $(JOBS)

demo: build
	./build/rekul examples/example.motifs examples/example.fa

demo-ortho: build
	./build/rekulo examples/example.motifs examples/example.ortho.fa

test: build
	ctest --test-dir build --output-on-failure -j $(JOBS)

sanitize: deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DREKUL_WERROR=ON -DREKUL_SANITIZE=ON >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

bench: build
	./build/bench/scan_bench

clean:
	rm -rf build build-sanitize
