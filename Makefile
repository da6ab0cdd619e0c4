# Thin wrapper around CMake. `make demo` builds rekul and runs it on the bundled example,
# `make test` builds everything and runs every test, `make sanitize` runs the tests again
# under AddressSanitizer and UBSan, `make lint` checks the page's script with ESLint,
# `make install PREFIX=...` installs programs and manuals, `make option-texts` rewrites the
# documents' option tables and manual sections from the programs' option tables.
JOBS ?= 2
PREFIX ?= /usr/local
CONFIGURE = cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DREKUL_WERROR=ON >/dev/null

FUZZ_SECONDS ?= 60

.PHONY: deps deps-build build demo demo-ortho test sanitize fuzz fuzz-smoke lint install bench clean \
	deb pipelines python option-texts

deps-build:
	@scripts/install-deps.sh build >&2

deps:
	@scripts/install-deps.sh test

build: deps
	$(CONFIGURE)
	cmake --build build -j $(JOBS)

# The demos keep the build's log on standard error, so that standard output is the report.
demo: deps-build
	@$(CONFIGURE)
	@cmake --build build -j $(JOBS) --target rekul rekulo rekul-report >&2
	@./build/rekul examples/example.motifs examples/example.fa

demo-ortho: deps-build
	@$(CONFIGURE)
	@cmake --build build -j $(JOBS) --target rekulo >&2
	@./build/rekulo examples/example.motifs examples/example.ortho.fa

option-texts: deps-build
	@$(CONFIGURE)
	cmake --build build -j $(JOBS) --target option-texts

test: build
	ctest --test-dir build --output-on-failure -j $(JOBS)

sanitize: deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DREKUL_WERROR=ON -DREKUL_SANITIZE=ON >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS seconds from its seed corpus (tests/fuzz/corpus).
fuzz:
	@scripts/install-deps.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DREKUL_FUZZ=ON -DREKUL_TESTS=OFF >/dev/null
	cmake --build build-fuzz -j $(JOBS)
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=12

# ESLint (the versions of scripts/eslint/package-lock.json, from the npm registry) on the
# script of rekul-report's page.
lint:
	@scripts/install-deps.sh lint
	cd scripts/eslint && npm ci --no-audit --no-fund --silent
	cd scripts/eslint && npx eslint --max-warnings 0 --stdin \
	  --stdin-filename src/report/page.js < ../../src/report/page.js

# The Debian package, built with Debian's hardening flags, then checked: lintian, and the
# programs, manual pages and example run from the unpacked package.
deb:
	@scripts/install-deps.sh package
	@scripts/install-deps.sh python
	cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DREKUL_WERROR=ON -DREKUL_DEB=ON \
	  -DREKUL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr -DREKUL_PYTHON=ON \
	  -DPython_EXECUTABLE=/usr/bin/python3 -DREKUL_PYTHON_DIR=lib/python3/dist-packages \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" >/dev/null
	cmake --build build-deb -j $(JOBS)
	rm -f build-deb/rekul_*.deb
	cd build-deb && cpack -G DEB >/dev/null
	scripts/check-deb.sh build-deb/rekul_*.deb

# The CWL tools and the Snakemake wrapper run on the bundled example, their outputs compared
# with the plain command line's.
pipelines: build
	@scripts/install-deps.sh pipelines
	scripts/check-pipelines.sh build

# The Python module, built against Debian's python3, then its tests (pytest).
# It goes into the main build, whose library it links: nothing is compiled twice.
python: deps
	@scripts/install-deps.sh python
	$(CONFIGURE) -DREKUL_PYTHON=ON -DPython_EXECUTABLE=/usr/bin/python3
	cmake --build build -j $(JOBS) --target _rekul rekul rekul-report
	REKUL_BUILD=build PYTHONPATH=build/python /usr/bin/python3 -m pytest -q python/tests

# The Python module too where pybind11 is installed (make python installs it).
install: deps-build
	$(CONFIGURE) -DREKUL_PYTHON=$$(test -f /usr/lib/cmake/pybind11/pybind11Config.cmake && \
	  echo ON || echo OFF) -DPython_EXECUTABLE=/usr/bin/python3
	cmake --build build -j $(JOBS) --target rekul rekulo rekul-report \
	  $$(grep -q '^REKUL_PYTHON:BOOL=ON' build/CMakeCache.txt && echo _rekul)
	cmake --install build --prefix $(PREFIX)

bench: build
	./build/bench/scan_bench

clean:
	rm -rf build build-sanitize build-fuzz build-deb
