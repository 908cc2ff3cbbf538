# The two commands of the README. Both build and run inside an environment that
# has SFML 3 (natively, or a Debian sid root made on first use: scripts/sfml-env).
.PHONY: run test clean

run:
	scripts/sfml-env scripts/run

test:
	scripts/sfml-env scripts/test

clean:
	rm -rf build
