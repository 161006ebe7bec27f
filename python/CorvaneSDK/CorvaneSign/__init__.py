"""PDF signature library."""
