"""Low-level PDF reading and writing."""
