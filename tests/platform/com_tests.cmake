# Component-model tests.
