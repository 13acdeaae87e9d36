# Front door: `make test` is the whole set-up on a fresh Debian 12 machine.
.PHONY: deps configure build test run bench demo asan format format-check package clean

MAKEFLAGS += --no-print-directory
CMAKE_BUILD := cmake --build --preset default

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@$(CMAKE_BUILD)

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset default

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	ctest --preset asan

run: build
	./build/default/src/app/editor/kelvaro

bench: build
	@scripts/install-deps bench
	@for b in build/default/bench/*/bench-*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; done

# The Debian package (build/default/package/kelvaro_VERSION-1_ARCH.deb): apt install ./kelvaro_*.deb
package: build
	@cd build/default && cpack --config CPackConfig.cmake >/dev/null
	@ls build/default/package/kelvaro_*.deb

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# Sway GIFs of the sample photo and its depth maps (painted, both directions; grey; a smooth
# 24-frame loop about level 4 with the far hole fill), written to out/.
DEMO_PICTURE := tests/data/coffee-640x480.jpg
DEMO_DEPTH := tests/data/coffee-depth.png
DEMO_GREY := tests/data/coffee-depth-grey.png
RENDER := ./build/default/src/app/render/kelvaro-render
demo: build
	@mkdir -p out
	$(RENDER) $(DEMO_PICTURE) --depth $(DEMO_DEPTH) --sway horizontal -o out/demo-horizontal.gif
	$(RENDER) $(DEMO_PICTURE) --depth $(DEMO_DEPTH) --sway vertical --size 1/2 -o out/demo-vertical.gif
	$(RENDER) $(DEMO_PICTURE) --depth-grey $(DEMO_GREY) --fixed-below 8 -o out/demo-grey.gif
	$(RENDER) $(DEMO_PICTURE) --depth $(DEMO_DEPTH) --frames 24 --angle 5 --pivot 4 --hole-fill far -o out/demo-smooth.gif
	@echo "wrote out/demo-horizontal.gif, out/demo-vertical.gif, out/demo-grey.gif and out/demo-smooth.gif"

clean:
	rm -rf build
