# The two commands of the README. Both build and run inside an environment that
# has SFML 3 (natively, or a Debian sid root made on first use: scripts/sfml-env).
# The last two test steps run on the host: one builds a game of its own, outside the
# repository, with the engine as a subdirectory, through scripts/sfml-env; the other
# builds for Windows (its sources from ../shared/vendor/windows when there) and tests
# that build under Wine.
.PHONY: run test docs clean

run:
	scripts/sfml-env scripts/run

test:
	scripts/sfml-env scripts/test
	scripts/test-package subdirectory
	scripts/test-windows

# The engine's API reference: build/docs/html/index.html
docs:
	scripts/sfml-env doxygen docs/Doxyfile

clean:
	rm -rf build
