# Control tests.
