# make run   install what is missing, build, start (ARGS='/BACKUP' passes arguments)
# make test  install what is missing, build, run every test
# make check build, run the fast tests (CTest label `fast`; under a minute)
# make package  build the Debian package $(BUILD)/vorlixbackup_<version>_<arch>.deb
# make lintian  build it and check it with lintian
# make asan  the engine's tests again, built with AddressSanitizer and UBSan (build-asan/)
# make fuzz  the libFuzzer targets, each FUZZ_SECONDS from its seeds (build-fuzz/)

BUILD   ?= build
JOBS    ?= $(shell nproc)
ARGS    ?=
CMAKE_FLAGS ?=
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 30

# Debian packages for building, running and testing (the archive peers zip, unzip,
# 7z, bsdtar from libarchive-tools and python3 check what we write and make archives
# we must read; chmcmd from fp-utils compiles the help (under strace, which pins
# its clock for reproducible builds), which libchm-dev reads;
# pdftotext from poppler-utils checks printed pages; man from man-db checks the
# manual page; rclone copies each new archive to a remote and serves the tests'
# WebDAV and SFTP servers).
PACKAGES = build-essential cmake pkg-config qt6-base-dev libgl-dev zlib1g-dev \
           libdeflate-dev libssl-dev nlohmann-json3-dev libgtest-dev googletest zip unzip 7zip libarchive-tools python3 xvfb xauth \
           dpkg-dev desktop-file-utils appstream \
           qt6-translations-l10n fonts-wine openbox x11-utils systemd \
           fp-utils libchm-dev strace poppler-utils man-db rclone
# `make package` builds the Debian package with these; the build dependencies come from
# debian/control.
PACKAGE_TOOLS = debhelper dpkg-dev lintian
# Only `make fuzz` needs clang and its sanitizer and libFuzzer runtimes.
FUZZ_PACKAGES = clang libclang-rt-14-dev

FUZZ_TARGETS = archive_reader_fuzz aes_entry_fuzz csv_table_fuzz reg_file_fuzz jet_header_fuzz
# A sanitizer finding fails the test that met it; leaks count as findings.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps fuzz-deps package-deps configure build run test check package lintian asan fuzz bench clean

all: build

# install-missing(<packages>): installs those of the Debian packages that are missing.
define install-missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing >/dev/null; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

fuzz-deps: deps
	$(call install-missing,$(FUZZ_PACKAGES))

# The tools, then what debian/control's Build-Depends lists and is missing.
package-deps:
	$(call install-missing,$(PACKAGE_TOOLS))
	@dpkg-checkbuilddeps 2>/dev/null || { \
	  if [ "$$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get build-dep -y -qq ./ >/dev/null; }

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

# Configures on the first build, and again whenever CMAKE_FLAGS are given.
build: deps
	@if [ ! -f $(BUILD)/CMakeCache.txt ] || [ -n "$(CMAKE_FLAGS)" ]; then \
	  cmake -S . -B $(BUILD) $(CMAKE_FLAGS); fi
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/vorlixbackup $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The quick loop while working: the engine's and the offscreen widgets' tests, without
# the archive peers, the virtual X display and runs of the whole program.
check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L fast

# dpkg-buildpackage writes beside the source folder, so the package is built from a
# copy of the checked-in and new files in $(PACKAGE_WORK); the .deb then moves to
# $(BUILD). The copy's path is always the same, and SOURCE_DATE_EPOCH comes from
# debian/changelog, so that the file dates and the program's build date are those of
# the release. (The compiled help still carries the time of its compilation; see the
# README.)
PACKAGE_WORK = $(BUILD)/debian-build
package: package-deps
	rm -rf $(PACKAGE_WORK) && mkdir -p $(PACKAGE_WORK)/vorlixbackup $(BUILD)
	git ls-files -z --cached --others --exclude-standard | grep -zv '^$(BUILD)/' | \
	  xargs -0 tar -c --no-recursion -f - | tar -x -C $(PACKAGE_WORK)/vorlixbackup
	cd $(PACKAGE_WORK)/vorlixbackup && nice dpkg-buildpackage -b -us -uc -j$(JOBS)
	rm -f $(BUILD)/vorlixbackup_*.deb
	mv $(PACKAGE_WORK)/vorlixbackup_*.deb $(BUILD)/
	@ls $(BUILD)/vorlixbackup_*.deb

# lintian as a Debian maintainer runs it; any warning or error fails.
lintian: package
	lintian --pedantic --fail-on warning,error --display-info $(BUILD)/vorlixbackup_*.deb

asan: deps
	cmake -S . -B $(ASAN_BUILD) -DVB_SANITIZE=ON -DVB_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target vb_gtests
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# Each target runs FUZZ_SECONDS from the seeds that tests/support/make-fuzz-seeds.sh
# makes; what it finds on the way stays in $(FUZZ_BUILD)/corpus, a crashing input in
# $(FUZZ_BUILD)/crashes.
fuzz: fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DVB_FUZZ=ON -DVB_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target vb_fuzz_targets
	tests/support/make-fuzz-seeds.sh $(FUZZ_BUILD)/seeds
	@mkdir -p $(FUZZ_BUILD)/crashes
	@for t in $(FUZZ_TARGETS); do \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  $(SANITIZER_ENV) $(FUZZ_BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t- \
	    $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/seeds/$$t 2>$(FUZZ_BUILD)/$$t.log \
	    || { tail -60 $(FUZZ_BUILD)/$$t.log; exit 1; }; \
	  grep -E '^stat::number_of_executed_units|^Done' $(FUZZ_BUILD)/$$t.log; \
	done

bench: build
	$(MAKE) -C bench BUILD=$(abspath $(BUILD))

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
