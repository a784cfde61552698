# Front door: `make run` and `make test` work on a fresh Debian machine as root.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
PREFIX     ?= /usr/local
DESTDIR    ?=
FUZZ_TARGETS ?= table journal gbk schedule cli export rota holiday

.PHONY: deps build run test test-asan test-main install package package-check fuzz bench clean

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# The same launcher as the installed one: it makes the data folder
# ($XDG_DATA_HOME/kadrel), enters it and starts the program there.
run: build
	@exec "$(CURDIR)/$(BUILD)/bin/kadrel"

# The sanitizer pass runs first so that the last thing printed is the
# summary of the full suite. Both turn warnings into errors.
test: deps test-asan test-main

# The GUI tests run too, on the offscreen platform.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKADREL_WERROR=ON \
	  -DKADREL_SANITIZE=ON -DKADREL_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

test-main:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKADREL_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# make install [PREFIX=/usr/local] [DESTDIR=/staging]
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian packages kadrel and kadrel-cli, in the build folder.
package: deps
	JOBS=$(JOBS) bash scripts/package $(BUILD)

# The packages built afresh, then lintian, hardening, dependency levels and an
# install and purge in a throw-away root. Not part of `make test`: the
# package build compiles everything once more with Debian's flags.
package-check: package
	bash tests/dist/package_test.sh $(BUILD)

# Every target for FUZZ_SECONDS, on the committed seeds and a corpus of its own
# in the build tree; crashes go to fuzz/crashes/<target>/ (the table target's
# to fuzz/crashes/), where the replay test picks them up.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DKADREL_FUZZ=ON -DKADREL_BUILD_GUI=OFF -DKADREL_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for t in $(FUZZ_TARGETS); do \
	  crashes=fuzz/crashes/$$t/; if [ $$t = table ]; then crashes=fuzz/crashes/; fi; \
	  mkdir -p $(FUZZ_BUILD)/corpus-$$t $$crashes; \
	  echo "== fuzz_$$t"; \
	  $(FUZZ_BUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$$crashes $(FUZZ_BUILD)/corpus-$$t fuzz/corpus/$$t || exit 1; \
	done

bench: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
