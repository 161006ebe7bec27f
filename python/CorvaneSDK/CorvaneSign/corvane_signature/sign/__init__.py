"""Signature creation."""
