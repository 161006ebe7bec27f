"""Configuration of the signature library."""
